#pragma once

#include <QString>

namespace avrane {

// The application's one identity on the desktop: its name on the session bus (which also
// keeps a second instance from starting), its desktop file and its icon.
inline const QString applicationId = QStringLiteral("io.github.avranebar.AvraneBar");
inline const QString applicationObjectPath = QStringLiteral("/io/github/avranebar/AvraneBar");

}  // namespace avrane
