#include "avranectl/Output.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "AvraneKit/Client/Interrupted.h"
#include "avranectl/Json.h"

namespace avrane::ctl {

WriteError::WriteError(int errorNumber)
    : errorNumber_(errorNumber), description_(std::string("write error: ") + std::strerror(errorNumber)) {}

DescriptorOutput::DescriptorOutput(int fd, int interruptFd) : fd_(fd), interruptFd_(interruptFd) {
    setp(buffer_.data(), buffer_.data() + buffer_.size());
}

DescriptorOutput::int_type DescriptorOutput::overflow(int_type ch) {
    drain();
    if (!traits_type::eq_int_type(ch, traits_type::eof())) {
        *pptr() = traits_type::to_char_type(ch);
        pbump(1);
    }
    return traits_type::not_eof(ch);
}

std::streamsize DescriptorOutput::xsputn(const char* data, std::streamsize count) {
    const auto room = epptr() - pptr();
    if (count <= room) {
        std::memcpy(pptr(), data, static_cast<std::size_t>(count));
        pbump(static_cast<int>(count));
        return count;
    }
    drain();
    writeAll(data, static_cast<std::size_t>(count));
    return count;
}

int DescriptorOutput::sync() {
    drain();
    return 0;
}

void DescriptorOutput::drain() {
    const auto size = static_cast<std::size_t>(pptr() - pbase());
    // Emptied first: after a failure the rest is not tried again.
    setp(buffer_.data(), buffer_.data() + buffer_.size());
    writeAll(buffer_.data(), size);
}

void DescriptorOutput::writeAll(const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd_, data, size);
        if (n >= 0) {
            data += n;
            size -= static_cast<std::size_t>(n);
            continue;
        }
        if (errno != EINTR) throw WriteError(errno);
        // A reader that stopped reading must not hold off Ctrl-C.
        throwIfInterrupted(interruptFd_);
    }
}

std::string printable(std::string_view text) {
    std::string result;
    result.reserve(text.size());
    while (!text.empty()) {
        const std::size_t length = utf8SequenceLength(text);
        const auto byte = static_cast<unsigned char>(text.front());
        char escaped[8];
        if (length == 0) {
            // Not UTF-8: a lone 0x9B is a control sequence to an 8-bit terminal.
            std::snprintf(escaped, sizeof escaped, "\\x%02X", byte);
            result += escaped;
            text.remove_prefix(1);
            continue;
        }
        const auto control = controlCode(text.substr(0, length));
        if (!control) {
            result.append(text.substr(0, length));
        } else if (byte == '\t') {
            result += "\\t";
        } else if (byte == '\n') {
            result += "\\n";
        } else if (byte == '\r') {
            result += "\\r";
        } else {
            std::snprintf(escaped, sizeof escaped, length == 1 ? "\\x%02X" : "\\u%04X", *control);
            result += escaped;
        }
        text.remove_prefix(length);
    }
    return result;
}

}  // namespace avrane::ctl
