#pragma once

#include <QString>

#include "AvraneKit/Client/ApplicationService.h"

namespace avrane {

// The application's one identity on the desktop: its name on the session bus (which also
// keeps a second instance from starting), its desktop file and its icon.
inline const QString applicationId = QString::fromLatin1(applicationService::busName);
inline const QString applicationObjectPath = QString::fromLatin1(applicationService::objectPath);

}  // namespace avrane
