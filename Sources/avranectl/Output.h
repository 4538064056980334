#pragma once

#include <array>
#include <exception>
#include <streambuf>
#include <string>
#include <string_view>

namespace avrane::ctl {

// Standard output could not be written: a full disk, a reader that went away.
class WriteError : public std::exception {
public:
    explicit WriteError(int errorNumber);

    int errorNumber() const { return errorNumber_; }
    // "write error: No space left on device"
    const std::string& description() const { return description_; }
    const char* what() const noexcept override { return description_.c_str(); }

private:
    int errorNumber_;
    std::string description_;
};

// A buffered stream onto a descriptor that throws WriteError when a write fails; a stream set
// to rethrow on badbit (`exceptions(std::ios::badbit)`) hands it on to the caller, so an
// output error ends the command instead of being lost. A write cut short by a signal while
// `interruptFd` is readable throws Interrupted.
class DescriptorOutput : public std::streambuf {
public:
    explicit DescriptorOutput(int fd, int interruptFd = -1);
    // Unflushed output is dropped: flushing is the caller's, where a failure can be reported.
    ~DescriptorOutput() override = default;

protected:
    int_type overflow(int_type ch) override;
    std::streamsize xsputn(const char* data, std::streamsize count) override;
    int sync() override;

private:
    void writeAll(const char* data, std::size_t size);
    void drain();

    int fd_;
    int interruptFd_;
    std::array<char, 4096> buffer_{};
};

// `text` with control characters written out (\t, \n, \r, \xHH, and \u0080 to \u009F for
// the C1 controls) and bytes that are not UTF-8 as \xHH, so that a device path, a serial
// number or whatever the application's bus name holder sends cannot move the cursor or
// recolour a terminal.
std::string printable(std::string_view text);

}  // namespace avrane::ctl
