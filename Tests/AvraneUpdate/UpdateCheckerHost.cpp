// A program that starts a download with the update checker, prints its helper's process id
// and waits, for the tests to kill it and see what becomes of the helper.
//
//   update-checker-host HELPER PACKAGE_URL
#include <cstdio>

#include <QCoreApplication>

#include "AvraneUpdate/UpdateChecker.h"

int main(int argc, char** argv) {
    using namespace avrane;
    QCoreApplication app(argc, argv);
    if (argc != 3) return 2;
    UpdateChecker::Options options;
    options.helperPath = QString::fromLocal8Bit(argv[1]);
    UpdateChecker checker(options);
    checker.download(ReleaseInfo{"1.0", QUrl(QString::fromLocal8Bit(argv[2])), std::nullopt, std::nullopt});
    const auto helper = checker.helperProcessId();
    if (!helper) return 1;
    std::printf("%lld\n", static_cast<long long>(*helper));
    std::fflush(stdout);
    return QCoreApplication::exec();
}
