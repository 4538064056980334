#pragma once

#include <string>

#include "AvraneKit/Serial/SerialPort.h"

namespace avrane::ctl {

// A port failure as the user should read it: a device held by someone else, one the user
// may not open and one that went away are said so, with the path and the system's text.
std::string portFailureText(const SerialPort::Failure& failure);

}  // namespace avrane::ctl
