// avrane-update-helper: the update check's network work, in a process of its own so that
// the tray application never loads the network and TLS libraries nor parses what the network
// sends. avrane-bar starts it for one job and reads its one report line; it ends with the
// application. By hand:
//
//   avrane-update-helper check --url=https://releases.example/bar/latest.json
//   avrane-update-helper download --url=https://…/a.deb --file=/tmp/a.deb --sha256=…
#include <cerrno>
#include <cstdio>

#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QSslCertificate>
#include <QSslConfiguration>

#include "AvraneUpdate/HelperReport.h"
#include "AvraneUpdate/HelperRequest.h"
#include "AvraneUpdate/UpdateChecker.h"
#include "Jobs.h"
#include "PackageFile.h"

namespace {

using namespace avrane;

// The report as one whole line; a report the application would refuse (a release it cannot
// take back, an overlong line) is sent as the failure it amounts to.
bool send(const helper::Request& request, const helper::Report& report) {
    QByteArray line = helper::encode(report);
    if (line.size() > helper::maximumReportLength || helper::decode(QByteArrayView(line).chopped(1)) != report) {
        const bool isCheck = std::holds_alternative<helper::CheckJob>(request.job);
        line = helper::encode(helper::Failure{isCheck ? UpdateChecker::manifestUnreadableMessage
                                                      : UpdateChecker::downloadIncompleteMessage});
    }
    for (qsizetype written = 0; written < line.size();) {
        const ssize_t n = ::write(STDOUT_FILENO, line.constData() + written, std::size_t(line.size() - written));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        written += n;
    }
    return true;
}

// As OpenSSL's own programs do, the helper trusts the certificates of the file SSL_CERT_FILE
// names in place of the system's (Qt itself does not look there), when that file holds any.
void trustCertificatesFromEnvironment() {
    const QString file = qEnvironmentVariable("SSL_CERT_FILE");
    if (file.isEmpty()) return;
    const QList<QSslCertificate> certificates = QSslCertificate::fromPath(file);
    if (certificates.isEmpty()) return;
    QSslConfiguration configuration = QSslConfiguration::defaultConfiguration();
    configuration.setCaCertificates(certificates);
    QSslConfiguration::setDefaultConfiguration(configuration);
}

// Qt's network thread reports that it has finished before the thread is gone: OpenSSL still
// frees its per-thread state then. The program ends once that is over (a second at most), not
// in the middle of it, which the leak checker would see as memory lost.
void waitForOtherThreads() {
    const QDir threads(QStringLiteral("/proc/self/task"));
    for (int waited = 0; waited < 1000 && threads.entryList(QDir::Dirs | QDir::NoDotAndDotDot).size() > 1; ++waited) {
        ::usleep(1000);
    }
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QString error;
    const auto request = helper::Request::fromArguments(QCoreApplication::arguments().sliced(1), &error);
    if (!request) {
        std::fprintf(stderr,
                     "%s: %s\nusage: %s check --url=URL [--idle-timeout=MS] [--total-timeout=MS]\n"
                     "       %s download --url=URL --file=PATH [--sha256=HEX] [--max-size=BYTES] "
                     "[--idle-timeout=MS] [--total-timeout=MS]\n",
                     helper::programName, qPrintable(error), helper::programName, helper::programName);
        return 2;
    }
    helper::PackageFile::removeOnSignals();
    trustCertificatesFromEnvironment();
    const bool sent = send(*request, helper::run(*request));
    waitForOtherThreads();
    return sent ? 0 : 1;
}
