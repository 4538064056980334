#pragma once

// Where the running application serves the headset on the session bus, named once for the
// application and for avranectl. The bus name is also the application's id in reverse-domain
// form: its desktop file, icons and AppStream file carry it (the packaging reads it here).
namespace avrane::applicationService {

inline constexpr char busName[] = "io.github.avranebar.AvraneBar";
inline constexpr char objectPath[] = "/io/github/avranebar/AvraneBar";
// The service's one interface is named after the application.
inline constexpr const char* interfaceName = busName;

}  // namespace avrane::applicationService
