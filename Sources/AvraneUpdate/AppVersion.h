#pragma once

#include <QString>
#include <QStringView>

namespace avrane {

// The running version and how release versions compare.
class AppVersion {
public:
    AppVersion() = delete;

    // The project version this program was built from, for example "0.1.0".
    static const QString& current();

    // True when `candidate` is strictly newer than `reference`. Both are read leniently:
    // "v", "V" and spaces around the text are ignored, components are the leading digits of
    // each dot-separated piece (anything unreadable counts as 0), and missing trailing
    // components count as 0. So 1.10 > 1.9, v2.0 == 2, and 1.2.0-beta == 1.2.0.
    static bool isNewer(QStringView candidate, QStringView reference);
};

}  // namespace avrane
