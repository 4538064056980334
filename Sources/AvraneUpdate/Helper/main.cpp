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
#include <QFile>
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

// Read only when asked for: the system's certificates are looked up as a connection needs
// them, where reading a whole bundle would cost a check that never connects a tenth of a
// second.
void trustOnly(const QString& certificatesFile) {
    QSslConfiguration configuration = QSslConfiguration::defaultConfiguration();
    configuration.setCaCertificates(QSslCertificate::fromPath(certificatesFile));
    QSslConfiguration::setDefaultConfiguration(configuration);
}

// Qt's network thread reports that it has finished, and the job returns, before the thread
// is gone: OpenSSL still frees its per-thread state then. The program ends once that is over
// (a second at most), not in the middle of it, which the leak checker would see as memory
// lost. (Qt's proxy and host-name threads stay to the end; they are not waited for.)
void waitForTheNetworkThread() {
    const QDir threads(QStringLiteral("/proc/self/task"));
    const auto networkThreadRuns = [&] {
        for (const QString& thread : threads.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
            QFile name(threads.filePath(thread + QStringLiteral("/comm")));
            if (name.open(QIODevice::ReadOnly) && name.readAll().startsWith("QNetworkAccess")) return true;
        }
        return false;
    };
    for (int waited = 0; waited < 1000 && networkThreadRuns(); ++waited) ::usleep(1000);
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QString error;
    const auto request = helper::Request::fromArguments(QCoreApplication::arguments().sliced(1), &error);
    if (!request) {
        std::fprintf(stderr,
                     "%s: %s\nusage: %s check --url=URL [--idle-timeout=MS] [--total-timeout=MS] "
                     "[--ca-certificates=FILE]\n"
                     "       %s download --url=URL --file=PATH [--sha256=HEX] [--max-size=BYTES] "
                     "[--idle-timeout=MS] [--total-timeout=MS] [--ca-certificates=FILE]\n",
                     helper::programName, qPrintable(error), helper::programName, helper::programName);
        return 2;
    }
    helper::PackageFile::removeOnSignals();
    if (request->caCertificates) trustOnly(*request->caCertificates);
    const bool sent = send(*request, helper::run(*request));
    waitForTheNetworkThread();
    return sent ? 0 : 1;
}
