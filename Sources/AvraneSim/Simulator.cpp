#include "AvraneSim/Simulator.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <system_error>

namespace avrane::sim {
namespace {

// Bounds a delay from a fault switch so the time arithmetic stays finite.
constexpr double longestDelay = 3600.0;
// Writes waiting for the line. With nobody reading the slave the line fills up; beyond this
// the simulator drops what it would send, as a full serial line would.
constexpr std::size_t outputLimit = 4096;

Simulator::Clock::duration seconds(double value) {
    if (!(value > 0)) return {};
    return std::chrono::duration_cast<Simulator::Clock::duration>(
        std::chrono::duration<double>(std::min(value, longestDelay)));
}

[[noreturn]] void throwSystemError(const char* what) {
    throw std::system_error(errno, std::generic_category(), what);
}

}  // namespace

Simulator::Simulator() : Simulator(Options{}) {}

Simulator::Simulator(Options options) : options_(std::move(options)), model_(options_.model) {}

Simulator::~Simulator() { stop(); }

void Simulator::start() {
    if (thread_.joinable()) return;
    wakeFd_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (wakeFd_ < 0) throwSystemError("eventfd");
    try {
        plug();
    } catch (...) {
        unplug();
        ::close(wakeFd_);
        wakeFd_ = -1;
        throw;
    }
    thread_ = std::jthread([this](std::stop_token stop) { run(stop); });
}

void Simulator::stop() {
    if (thread_.joinable()) {
        thread_.request_stop();
        wake();
        thread_.join();
    }
    // Tasks queued while the thread was stopping still run, so that nobody waits for them
    // for ever.
    std::deque<std::function<void()>> leftover;
    {
        const std::lock_guard lock(mutex_);
        leftover.swap(tasks_);
    }
    for (auto& task : leftover) task();
    unplug();
    if (wakeFd_ >= 0) {
        ::close(wakeFd_);
        wakeFd_ = -1;
    }
}

std::string Simulator::slavePath() const {
    const std::lock_guard lock(mutex_);
    return slavePath_;
}

bool Simulator::isPluggedIn() const {
    const std::lock_guard lock(mutex_);
    return pluggedIn_;
}

HeadsetModel Simulator::model() const {
    const std::lock_guard lock(mutex_);
    return model_;
}

void Simulator::setModel(HeadsetModel model) {
    const std::lock_guard lock(mutex_);
    model_ = std::move(model);
}

void Simulator::change(EventID item, const std::function<void(HeadsetModel&)>& edit) {
    const std::lock_guard lock(mutex_);
    edit(model_);
    queueLocked({notificationLocked(item).encoded()}, 0);
}

void Simulator::announce(EventID item) {
    const std::lock_guard lock(mutex_);
    queueLocked({notificationLocked(item).encoded()}, 0);
}

void Simulator::send(const Packet& packet) {
    const Bytes frame = packet.encoded();
    const std::lock_guard lock(mutex_);
    queueLocked({frame}, 0);
}

void Simulator::sendRaw(Bytes bytes) {
    const std::lock_guard lock(mutex_);
    if (!pluggedIn_ || bytes.empty() || output_.size() >= outputLimit) return;
    auto due = Clock::now();
    if (!output_.empty()) due = std::max(due, output_.back().due);
    output_.push_back(Outgoing{due, std::move(bytes)});
    wake();
}

Faults Simulator::faults() const {
    const std::lock_guard lock(mutex_);
    return faults_;
}

void Simulator::setFaults(Faults faults) {
    const std::lock_guard lock(mutex_);
    faults_ = std::move(faults);
}

void Simulator::updateFaults(const std::function<void(Faults&)>& edit) {
    const std::lock_guard lock(mutex_);
    edit(faults_);
}

void Simulator::hangUp() {
    runOnThread([this] { unplug(); });
}

void Simulator::replug() {
    runOnThread([this] {
        unplug();
        plug();
    });
}

std::vector<ReceivedRequest> Simulator::requests() const {
    const std::lock_guard lock(mutex_);
    return requests_;
}

std::size_t Simulator::requestCount() const {
    const std::lock_guard lock(mutex_);
    return requests_.size();
}

void Simulator::clearRequests() {
    const std::lock_guard lock(mutex_);
    requests_.clear();
}

bool Simulator::waitForRequests(std::size_t count, std::chrono::milliseconds timeout) const {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] { return requests_.size() >= count; });
}

std::optional<ReceivedRequest> Simulator::waitForRequest(
    const std::function<bool(const Packet&)>& match, std::chrono::milliseconds timeout) const {
    std::unique_lock lock(mutex_);
    std::optional<ReceivedRequest> found;
    changed_.wait_for(lock, timeout, [&] {
        const auto it = std::find_if(requests_.begin(), requests_.end(),
                                     [&](const ReceivedRequest& r) { return match(r.packet); });
        if (it != requests_.end()) found = *it;
        return found.has_value();
    });
    return found;
}

void Simulator::setRequestObserver(RequestObserver observer) {
    const std::lock_guard lock(mutex_);
    observer_ = std::move(observer);
}

bool Simulator::waitUntilSent(std::chrono::milliseconds timeout) const {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] { return output_.empty(); });
}

void Simulator::runOnThread(const std::function<void()>& task) {
    if (!thread_.joinable() || std::this_thread::get_id() == thread_.get_id()) {
        task();
        return;
    }
    bool done = false;
    std::exception_ptr error;
    {
        const std::lock_guard lock(mutex_);
        tasks_.push_back([&] {
            try {
                task();
            } catch (...) {
                error = std::current_exception();
            }
            const std::lock_guard doneLock(mutex_);
            done = true;
            changed_.notify_all();
        });
    }
    wake();
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return done; });
    if (error) std::rethrow_exception(error);
}

void Simulator::wake() const {
    if (wakeFd_ < 0) return;
    const std::uint64_t one = 1;
    [[maybe_unused]] const auto written = ::write(wakeFd_, &one, sizeof one);
}

void Simulator::plug() {
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (master < 0) throwSystemError("posix_openpt");
    char name[128];
    if (::grantpt(master) != 0 || ::unlockpt(master) != 0 ||
        ::ptsname_r(master, name, sizeof name) != 0) {
        const int error = errno;
        ::close(master);
        errno = error;
        throwSystemError("preparing the pty");
    }
    const int slave = ::open(name, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (slave < 0) {
        const int error = errno;
        ::close(master);
        errno = error;
        throwSystemError("opening the pty slave");
    }
    // Raw from the start: a fresh pty echoes and translates line ends, which would bounce
    // our own frames back and mangle bytes until a client configures the line.
    termios attributes{};
    if (::tcgetattr(slave, &attributes) == 0) {
        ::cfmakeraw(&attributes);
        ::tcsetattr(slave, TCSANOW, &attributes);
    }
    masterFd_ = master;
    slaveFd_ = slave;
    reassembler_.reset();
    outputBlocked_ = false;
    {
        const std::lock_guard lock(mutex_);
        slavePath_ = name;
        pluggedIn_ = true;
    }
    updateLink();
}

void Simulator::unplug() {
    if (masterFd_ >= 0) ::close(masterFd_);
    if (slaveFd_ >= 0) ::close(slaveFd_);
    masterFd_ = slaveFd_ = -1;
    outputBlocked_ = false;
    {
        const std::lock_guard lock(mutex_);
        pluggedIn_ = false;
        output_.clear();
        changed_.notify_all();
    }
    // An unplugged device's node is gone; so is the link to it.
    std::error_code ignored;
    if (!options_.linkPath.empty() && std::filesystem::is_symlink(options_.linkPath, ignored)) {
        std::filesystem::remove(options_.linkPath, ignored);
    }
}

void Simulator::updateLink() {
    if (options_.linkPath.empty()) return;
    // Replaced by a rename so that the link never points nowhere in between.
    auto temporary = options_.linkPath;
    temporary += ".new";
    std::error_code error;
    std::filesystem::remove(temporary, error);
    std::filesystem::create_symlink(slavePath(), temporary, error);
    if (!error) std::filesystem::rename(temporary, options_.linkPath, error);
    if (error) throw std::system_error(error, "linking " + options_.linkPath.string());
}

void Simulator::run(std::stop_token stop) {
    while (!stop.stop_requested()) {
        std::deque<std::function<void()>> tasks;
        int timeoutMs = -1;
        bool wantWrite = false;
        {
            const std::lock_guard lock(mutex_);
            tasks.swap(tasks_);
        }
        for (auto& task : tasks) task();
        {
            const std::lock_guard lock(mutex_);
            if (!output_.empty() && masterFd_ >= 0) {
                const auto wait = output_.front().due - Clock::now();
                if (outputBlocked_) {
                    wantWrite = true;
                } else if (wait <= Clock::duration::zero()) {
                    timeoutMs = 0;
                } else {
                    timeoutMs = static_cast<int>(std::ceil(
                        std::chrono::duration<double, std::milli>(wait).count()));
                }
            }
        }

        pollfd fds[2] = {{wakeFd_, POLLIN, 0},
                         {masterFd_, static_cast<short>(POLLIN | (wantWrite ? POLLOUT : 0)), 0}};
        const nfds_t count = masterFd_ >= 0 ? 2 : 1;
        if (::poll(fds, count, timeoutMs) < 0 && errno != EINTR) break;
        const auto now = Clock::now();
        if (fds[0].revents & POLLIN) {
            std::uint64_t value;
            [[maybe_unused]] const auto n = ::read(wakeFd_, &value, sizeof value);
        }
        if (count == 2) {
            if (fds[1].revents & POLLOUT) outputBlocked_ = false;
            if (fds[1].revents & POLLIN) readLine(now);
        }
        writeDue();
    }
}

void Simulator::readLine(Clock::time_point arrival) {
    std::uint8_t buffer[4096];
    const ssize_t n = ::read(masterFd_, buffer, sizeof buffer);
    if (n <= 0) return;
    for (const Bytes& frame : reassembler_.append(ByteView(buffer, static_cast<std::size_t>(n)))) {
        const auto decoded = Packet::decode(frame);
        if (!decoded || decoded->type != PacketType::command) continue;
        if (decoded->eventType != EventType::get && decoded->eventType != EventType::set) continue;
        handleRequest(*decoded, arrival);
    }
}

void Simulator::writeDue() {
    const std::lock_guard lock(mutex_);
    const auto now = Clock::now();
    while (!output_.empty() && masterFd_ >= 0 && !outputBlocked_) {
        Outgoing& head = output_.front();
        if (head.due > now) break;
        const ssize_t n =
            ::write(masterFd_, head.bytes.data() + head.written, head.bytes.size() - head.written);
        if (n > 0) {
            head.written += static_cast<std::size_t>(n);
            if (head.written == head.bytes.size()) output_.pop_front();
        } else if (n < 0 && errno == EAGAIN) {
            outputBlocked_ = true;  // the slave's input is full: wait until it drains
        } else if (!(n < 0 && errno == EINTR)) {
            output_.clear();
        }
    }
    if (output_.empty()) changed_.notify_all();
}

void Simulator::handleRequest(const Packet& request, Clock::time_point arrival) {
    const EventID item = request.eventID;
    const bool isBulk = item == EventID::allFunctionSettingsPart1 ||
                        item == EventID::allFunctionSettingsPart2 ||
                        item == EventID::allFunctionSettingsPart3;
    ReceivedRequest received{request, arrival};
    RequestObserver observer;
    bool ignored = false;
    {
        const std::lock_guard lock(mutex_);
        const bool toHeadset = request.destination == Address::receiver;
        ignored = (faults_.headsetOff && toHeadset) || faults_.silentItems.contains(item);
        // Stored before the request is recorded, so that the log says what the headset took.
        if (!ignored && request.eventType == EventType::set && !(isBulk && faults_.bulkUnsupported)) {
            received.accepted = model_.apply(item, request.param);
        }
        requests_.push_back(received);
        observer = observer_;
        changed_.notify_all();
    }
    if (observer) observer(received);
    if (ignored) return;

    const std::lock_guard lock(mutex_);
    const bool accepted = received.accepted;
    std::optional<Bytes> param = model_.param(item);
    if (isBulk && faults_.bulkUnsupported) param = Bytes{};
    if (!param) return;  // an item this headset does not know
    if (const auto m = faults_.malformedReplies.find(item); m != faults_.malformedReplies.end()) {
        param = m->second;
    }

    const auto reply = [&](EventType type, std::uint16_t transactionID, Bytes replyParam) {
        return Packet{.type = PacketType::event,
                      .source = request.destination,
                      .destination = request.source,
                      .eventID = item,
                      .eventType = type,
                      .transactionID = transactionID,
                      .param = std::move(replyParam)};
    };
    std::vector<Packet> frames;
    if (faults_.lateReplyFirst) {
        const std::uint16_t previous =
            request.transactionID <= 1 ? 0xFFFF : static_cast<std::uint16_t>(request.transactionID - 1);
        frames.push_back(reply(EventType::ret, previous, {}));
    }
    if (faults_.ntfyActiveFirst) {
        frames.push_back(reply(EventType::ntfyActive, request.transactionID, *param));
    }
    frames.push_back(
        reply(faults_.replyAsNtfy ? EventType::ntfy : EventType::ret, request.transactionID, *param));
    if (accepted && options_.echoesSets) frames.push_back(notificationLocked(item));

    std::vector<Bytes> encoded;
    for (const Packet& frame : frames) {
        // A stored raw item can be longer than an event frame holds; such a reply is lost.
        try {
            encoded.push_back(frame.encoded());
        } catch (const Packet::EncodeError&) {
        }
    }
    queueLocked(encoded, faults_.replyDelay);
}

void Simulator::queueLocked(const std::vector<Bytes>& frames, double delay) {
    if (!pluggedIn_ || frames.empty() || output_.size() >= outputLimit) return;
    auto due = Clock::now() + seconds(delay);
    if (!output_.empty()) due = std::max(due, output_.back().due);

    // The frames of one answer leave in one write, so a reader sees them in one batch.
    Bytes bytes;
    for (const Bytes& frame : frames) {
        bytes.insert(bytes.end(), faults_.noise.begin(), faults_.noise.end());
        bytes.insert(bytes.end(), frame.begin(), frame.end());
    }
    if (faults_.byteAtATime) {
        const auto gap = seconds(faults_.byteGap);
        for (std::size_t i = 0; i < bytes.size(); ++i) {
            output_.push_back(Outgoing{due + gap * static_cast<long>(i), Bytes{bytes[i]}});
        }
    } else {
        output_.push_back(Outgoing{due, std::move(bytes)});
    }
    wake();
}

Packet Simulator::notificationLocked(EventID item) const {
    return Packet{.type = PacketType::event,
                  .source = livesOnTransmitter(item) ? Address::transmitter : Address::receiver,
                  .destination = Address::pc,
                  .eventID = item,
                  .eventType = faults_.announceAsNtfyActive ? EventType::ntfyActive : EventType::ntfy,
                  .transactionID = 0,
                  .param = model_.param(item).value_or(Bytes{})};
}

}  // namespace avrane::sim
