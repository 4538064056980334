#pragma once

#include <termios.h>

#include <cerrno>
#include <exception>
#include <string>

#include "AvraneKit/Support/Bytes.h"

namespace avrane {

// Owner of one serial character device: the dongle's control channel or a device named
// through AVRANE_PORT. Opens it for exclusive use in raw 8-bit mode, optionally forcing the
// dongle's line speed and raising DTR/RTS, and gives the device its old attributes back on
// close. Knows nothing of frames. Not locked: its owner serialises every call.
//
// Exclusive use is twofold: the terminal's own exclusive mode (TIOCEXCL), which keeps out
// other users but not root, and an advisory lock (flock) on the device, which every program
// of this project takes, whoever runs it. Either one held elsewhere fails the open with
// EBUSY.
class SerialPort {
public:
    class Failure;

    static constexpr unsigned baudRate = 460800;

    // Does not touch the device. `usesCustomBaudRate` is true for a discovered dongle: the
    // line speed is forced and the modem lines raised. A port named from outside keeps
    // whatever speed and modem lines the device has.
    SerialPort(std::string path, bool usesCustomBaudRate);
    ~SerialPort();

    SerialPort(const SerialPort&) = delete;
    SerialPort& operator=(const SerialPort&) = delete;

    // Opens, locks and configures; nothing when already open. Throws Failure (open,
    // configure); a failed configuration leaves the port closed. Anything that is not a
    // terminal fails as `open` with ENOTTY.
    void open();
    // Drains output, restores the saved attributes, releases exclusive use and closes.
    // Every error is ignored: a device that went away must still be let go.
    void close() noexcept;

    // Writes every byte, then waits until they are transmitted, for `timeout` seconds at most
    // in all: a dongle that stops taking bytes fails the write (Failure write, ETIMEDOUT)
    // rather than holding its caller. Throws Failure (closed, write).
    void write(ByteView bytes, double timeout = 1.5);
    // Waits up to `timeout` seconds for input and returns what one read delivers (at most
    // 1024 bytes); empty when nothing arrived or the wait was interrupted. Throws Failure
    // (closed, read), and reports a hang-up of the far side as a read failure with EIO.
    // When `wakeFd` is a descriptor, its becoming readable also ends the wait (empty result,
    // unless the line has input too); it is only watched, never read.
    Bytes read(double timeout, int wakeFd = -1);
    // Discards input received but not yet read; nothing when closed.
    void flushInput() noexcept;

    const std::string& path() const { return path_; }
    bool usesCustomBaudRate() const { return usesCustomBaudRate_; }
    bool isOpen() const { return fd_ >= 0; }
    // For waiting on the line together with other descriptors (-1 while closed); reads and
    // writes still go through the port.
    int descriptor() const { return fd_; }

private:
    void configure();
    // The one place that waits for the line: true when it is readable (or hung up), false
    // on time-out, interruption or a readable `wakeFd`. Throws Failure (read) on any other
    // error.
    bool waitReadable(double timeout, int wakeFd);
    // Waits until the line takes more bytes (or reports an error, which the next write then
    // reads); false at `deadline`.
    bool waitWritable(const timespec& deadline);
    // Waits until the device has sent everything queued; false at `deadline`.
    bool waitDrained(const timespec& deadline);

    int fd_ = -1;
    termios savedAttributes_{};
    const std::string path_;
    const bool usesCustomBaudRate_;
};

// Why the port failed. `description()` (and `what()`) gives the text shown in the log.
class SerialPort::Failure : public std::exception {
public:
    enum class Kind { open, configure, write, read, closed };

    static Failure openFailed(std::string path, int errorNumber);
    static Failure configureFailed(std::string step, int errorNumber);
    static Failure writeFailed(std::string path, int errorNumber);
    static Failure readFailed(std::string path, int errorNumber);
    static Failure closed();

    Kind kind() const { return kind_; }
    // open, read, write: the device path.
    const std::string& path() const { return path_; }
    // configure: the step that failed, e.g. "asserting RTS/DTR".
    const std::string& step() const { return step_; }
    // The errno of the failing call; 0 for `closed`.
    int errorNumber() const { return errorNumber_; }

    // A write the device did not take within its time.
    bool isStalled() const { return kind_ == Kind::write && errorNumber_ == ETIMEDOUT; }
    // What callers branch on to word their own advice; the description stays the same.
    // Another program holds the device (its exclusive mode or its lock).
    bool isInUse() const { return kind_ == Kind::open && errorNumber_ == EBUSY; }
    // The user may not open the device (the usual case: not in the device's group).
    bool isPermissionDenied() const {
        return kind_ == Kind::open && (errorNumber_ == EACCES || errorNumber_ == EPERM);
    }
    // The path names something other than a terminal (/dev/null, a regular file).
    bool isNotSerialDevice() const { return kind_ == Kind::open && errorNumber_ == ENOTTY; }
    // The device went away under an open port: unplugged, or the far side hung up.
    bool isDeviceGone() const {
        return (kind_ == Kind::read || kind_ == Kind::write) &&
               (errorNumber_ == EIO || errorNumber_ == ENXIO || errorNumber_ == ENODEV);
    }

    const std::string& description() const { return description_; }
    const char* what() const noexcept override { return description_.c_str(); }

private:
    Failure(Kind kind, std::string path, std::string step, int errorNumber);

    Kind kind_;
    std::string path_;
    std::string step_;
    int errorNumber_;
    std::string description_;
};

}  // namespace avrane
