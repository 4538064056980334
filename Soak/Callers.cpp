#include "Soak/Callers.h"

#include <cstdio>

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QJsonDocument>
#include <QTimer>

#include "AvraneKit/Client/ApplicationService.h"
#include "AvraneKit/Client/SettingTable.h"

namespace avrane::soak {
namespace {

using namespace std::chrono_literals;

int between(std::mt19937& random, int least, int most) { return std::uniform_int_distribution<int>(least, most)(random); }

template <class T>
const T& anyOf(std::mt19937& random, const std::vector<T>& list) {
    return list[std::size_t(between(random, 0, int(list.size()) - 1))];
}

QString firstLine(const QByteArray& text) { return QString::fromLocal8Bit(text).trimmed().section(QLatin1Char('\n'), 0, 0); }

}  // namespace

std::vector<std::string> valuesOf(std::string_view name) {
    const Setting* setting = findSetting(name);
    if (!setting || !setting->parse) return {};
    // Every word any setting takes, the whole numbers up to the longest delay, and the
    // balance's half steps; the setting keeps those it accepts.
    std::vector<std::string> candidates{"off", "on", "nc", "ambient", "last", "quality", "connection"};
    for (int n = 0; n <= 180; ++n) candidates.push_back(std::to_string(n));
    for (int half = -10; half <= 10; ++half) {
        char text[16];
        std::snprintf(text, sizeof text, "%.1f", half / 2.0);
        candidates.emplace_back(text);
    }
    std::vector<std::string> values;
    for (const std::string& candidate : candidates) {
        if (setting->parse(candidate)) values.push_back(candidate);
    }
    return values;
}

SetCaller::SetCaller(CallerContext& context, int id, std::vector<std::string> settings) : context_(context), id_(id) {
    for (const std::string& setting : settings) values_[setting] = valuesOf(setting);
}

void SetCaller::next() {
    busy_ = false;
    if (stopping_) return;
    std::vector<std::string> settings;
    for (const auto& [setting, values] : values_) {
        for (const std::string& value : values) {
            if (context_.ledger.mayWrite(id_, setting, value)) {
                settings.push_back(setting);
                break;
            }
        }
    }
    if (settings.empty()) {  // everything could still be written by a call that has not settled
        QTimer::singleShot(500ms, [this] { next(); });
        return;
    }
    const std::string& setting = anyOf(context_.random, settings);
    std::vector<std::string> values;
    for (const std::string& value : values_[setting]) {
        if (context_.ledger.mayWrite(id_, setting, value)) values.push_back(value);
    }
    SetCall call;
    call.caller = id_;
    call.setting = setting;
    call.value = anyOf(context_.random, values);
    call.start = Clock::now();
    busy_ = true;
    context_.runs.start(context_.avranectl,
                        {QStringLiteral("set"), QString::fromStdString(call.setting), QString::fromStdString(call.value)},
                        context_.limit, [this, call](const ProgramEnd& end) { finished(call, end); });
}

void SetCaller::finished(SetCall call, const ProgramEnd& end) {
    call.end = Clock::now();
    call.message = firstLine(end.errors).toStdString();
    if (end.exitedWith(0)) {
        call.outcome = SetCall::Outcome::confirmed;
    } else if (end.exitedWith(1)) {
        call.outcome = SetCall::Outcome::failed;
    } else if (end.exitedWith(3)) {
        call.outcome = SetCall::Outcome::unconfirmed;
    } else {
        call.outcome = SetCall::Outcome::unanswered;
        context_.problem(QStringLiteral("avranectl set %1 %2: %3 %4")
                             .arg(QString::fromStdString(call.setting), QString::fromStdString(call.value), end.description(),
                                  firstLine(end.errors)));
    }
    context_.ledger.recordCall(std::move(call));
    ++calls_;
    QTimer::singleShot(std::chrono::milliseconds(between(context_.random, 100, 500)), [this] { next(); });
}

void ReadCaller::next() {
    busy_ = false;
    if (stopping_) return;
    QStringList arguments;
    QString kind;
    switch (between(context_.random, 0, 2)) {
    case 0: {
        const auto table = settingTable();
        const Setting& setting = table[std::size_t(between(context_.random, 0, int(table.size()) - 1))];
        arguments = {QStringLiteral("get"), QString::fromUtf8(setting.name.data(), qsizetype(setting.name.size()))};
        kind = QStringLiteral("get");
        break;
    }
    case 1:
        arguments = {QStringLiteral("status")};
        kind = QStringLiteral("status");
        break;
    default:
        arguments = {QStringLiteral("--json"), QStringLiteral("status")};
        kind = QStringLiteral("--json status");
        break;
    }
    busy_ = true;
    context_.runs.start(context_.avranectl, arguments, context_.limit, [this, arguments, kind](const ProgramEnd& end) {
        auto& [succeeded, failed] = outcomes_[kind.toStdString()];
        if (end.exitedWith(0)) {
            ++succeeded;
            const QString printed = QString::fromUtf8(end.output).trimmed();
            if (kind == QLatin1String("get") && (printed.isEmpty() || printed.contains(QLatin1Char('\n'))))
                context_.problem(QStringLiteral("avranectl %1 printed \"%2\"").arg(arguments.join(QLatin1Char(' ')), printed));
            if (kind == QLatin1String("--json status") && !QJsonDocument::fromJson(end.output).isObject())
                context_.problem(QStringLiteral("avranectl --json status printed no JSON object: %1").arg(printed.left(200)));
        } else if (end.exitedWith(1)) {
            ++failed;
        } else {
            context_.problem(QStringLiteral("avranectl %1: %2 %3")
                                 .arg(arguments.join(QLatin1Char(' ')), end.description(), firstLine(end.errors)));
        }
        QTimer::singleShot(std::chrono::milliseconds(between(context_.random, 100, 400)), [this] { next(); });
    });
}

Follower::Follower(CallerContext& context, QString name, QStringList arguments)
    : context_(context), name_(std::move(name)), arguments_(std::move(arguments)) {}

void Follower::start() {
    process_ = context_.runs.start(context_.avranectl, arguments_, std::chrono::milliseconds::zero(), [this](const ProgramEnd& end) {
        pending_ += end.output;
        read();
        process_ = nullptr;
        if (!stopping_) {
            context_.problem(QStringLiteral("%1 ended during the run: %2 %3").arg(name_, end.description(), firstLine(end.errors)));
        } else if (!end.exitedWith(143) && !end.exitedWith(130)) {
            context_.problem(QStringLiteral("%1, stopped with SIGTERM: %2 %3").arg(name_, end.description(), firstLine(end.errors)));
        }
    });
    QObject::connect(process_, &QProcess::readyReadStandardOutput, process_, [this] {
        pending_ += process_->readAllStandardOutput();
        read();
    });
}

void Follower::stop() {
    if (!process_) return;
    stopping_ = true;
    context_.runs.stop(process_);
}

void Follower::read() {
    for (qsizetype end; (end = pending_.indexOf('\n')) >= 0;) {
        const QByteArray line = pending_.left(end);
        pending_.remove(0, end + 1);
        ++lines_;
        const QJsonDocument document = QJsonDocument::fromJson(line);
        if (!document.isObject()) {
            context_.problem(QStringLiteral("%1 printed a line that is not a JSON object: %2").arg(name_, QString::fromUtf8(line.left(200))));
            continue;
        }
        last_ = document.object();
    }
}

Refresher::Refresher(CallerContext& context, QDBusConnection bus) : context_(context), bus_(std::move(bus)) {}

void Refresher::next() {
    if (stopping_) return;
    QTimer::singleShot(std::chrono::milliseconds(between(context_.random, 2000, 8000)), this, [this] {
        if (stopping_) return;
        using namespace applicationService;
        const QDBusMessage call = QDBusMessage::createMethodCall(QLatin1String(busName), QLatin1String(objectPath),
                                                                 QLatin1String(interfaceName), QStringLiteral("Refresh"));
        auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(call, 5000), this);
        connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* done) {
            done->deleteLater();
            if (done->isError()) {
                ++refused_;
                context_.problem(QStringLiteral("Refresh over the bus: %1").arg(done->error().message()));
            } else {
                ++answered_;
            }
        });
        next();
    });
}

}  // namespace avrane::soak
