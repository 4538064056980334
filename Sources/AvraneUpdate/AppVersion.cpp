#include "AvraneUpdate/AppVersion.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <vector>

#include "AvraneUpdate/BuildConfig.h"

namespace avrane {

namespace {

bool isTrimmed(QChar c) {
    return c == u'v' || c == u'V' || c == u' ';
}

// The leading digits of a piece as a number. The run is taken over every character with a
// Unicode numeric property, but only plain ASCII digits read as a number: a run holding any
// other numeral, or one beyond 64 bits, gives 0.
std::int64_t component(QStringView piece) {
    qsizetype end = 0;
    while (end < piece.size()) {
        char32_t code = piece[end].unicode();
        qsizetype width = 1;
        if (piece[end].isHighSurrogate() && end + 1 < piece.size() && piece[end + 1].isLowSurrogate()) {
            code = QChar::surrogateToUcs4(piece[end], piece[end + 1]);
            width = 2;
        }
        if (!QChar::isNumber(code)) break;
        end += width;
    }
    if (end == 0) return 0;

    std::int64_t value = 0;
    for (const QChar c : piece.first(end)) {
        if (c < u'0' || c > u'9') return 0;
        const int digit = c.unicode() - u'0';
        if (value > (std::numeric_limits<std::int64_t>::max() - digit) / 10) return 0;
        value = value * 10 + digit;
    }
    return value;
}

std::vector<std::int64_t> parts(QStringView text) {
    while (!text.isEmpty() && isTrimmed(text.front())) text = text.sliced(1);
    while (!text.isEmpty() && isTrimmed(text.back())) text.chop(1);

    std::vector<std::int64_t> result;
    for (const QStringView piece : text.tokenize(u'.', Qt::SkipEmptyParts)) {
        result.push_back(component(piece));
    }
    return result;
}

}  // namespace

const QString& AppVersion::current() {
    static const QString version = QStringLiteral(AVRANE_APP_VERSION);
    return version;
}

bool AppVersion::isNewer(QStringView candidate, QStringView reference) {
    const auto a = parts(candidate);
    const auto b = parts(reference);
    for (std::size_t i = 0; i < std::max(a.size(), b.size()); ++i) {
        const std::int64_t x = i < a.size() ? a[i] : 0;
        const std::int64_t y = i < b.size() ? b[i] : 0;
        if (x != y) return x > y;
    }
    return false;
}

}  // namespace avrane
