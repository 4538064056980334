#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include <QDBusArgument>
#include <QMetaType>
#include <QString>
#include <QVariantMap>

#include "AvraneBar/Controller/HeadsetSnapshot.h"
#include "AvraneKit/Client/ApplicationService.h"

namespace avrane {

// A value that may not be known, as the service sends it: (known, value), with an empty value
// when not known. D-Bus has no null.
template <class T>
struct Maybe {
    bool known = false;
    T value{};

    Maybe() = default;
    Maybe(const std::optional<T>& v) : known(v.has_value()), value(v.value_or(T{})) {}

    bool operator==(const Maybe&) const = default;
};
using MaybeText = Maybe<QString>;
using MaybeByte = Maybe<uchar>;
using MaybeFlag = Maybe<bool>;

template <class T>
QDBusArgument& operator<<(QDBusArgument& argument, const Maybe<T>& maybe) {
    argument.beginStructure();
    argument << maybe.known << maybe.value;
    argument.endStructure();
    return argument;
}

template <class T>
const QDBusArgument& operator>>(const QDBusArgument& argument, Maybe<T>& maybe) {
    argument.beginStructure();
    argument >> maybe.known >> maybe.value;
    argument.endStructure();
    return argument;
}

namespace service {

inline const QString interfaceName = QString::fromLatin1(applicationService::interfaceName);

// Makes the pair types known to Qt's D-Bus marshalling; once, before the first use.
void registerTypes();

// Every property of the service for a snapshot, by property name.
QVariantMap properties(const HeadsetSnapshot& snapshot);
// The properties whose values differ between two property sets (all of `next` when `previous`
// is empty).
QVariantMap changed(const QVariantMap& previous, const QVariantMap& next);

}  // namespace service
}  // namespace avrane

Q_DECLARE_METATYPE(avrane::MaybeText)
Q_DECLARE_METATYPE(avrane::MaybeByte)
Q_DECLARE_METATYPE(avrane::MaybeFlag)
