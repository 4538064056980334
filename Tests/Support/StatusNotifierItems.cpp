#include "Support/StatusNotifierItems.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QList>

namespace avrane::testing {

namespace {

const QString itemInterface = QStringLiteral("org.kde.StatusNotifierItem");

// Reads an icon list, a(iiay); entries whose size and bytes disagree are left out.
QList<QImage> readIcons(const QDBusArgument& argument) {
    QList<QImage> icons;
    argument.beginArray();
    while (!argument.atEnd()) {
        int width = 0, height = 0;
        QByteArray bytes;
        argument.beginStructure();
        argument >> width >> height >> bytes;
        argument.endStructure();
        if (width <= 0 || height <= 0 || bytes.size() != qsizetype(width) * height * 4) continue;
        // Each pixel is ARGB in network byte order.
        QImage image(width, height, QImage::Format_ARGB32);
        const auto* pixel = reinterpret_cast<const uchar*>(bytes.constData());
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x, pixel += 4) image.setPixel(x, y, qRgba(pixel[1], pixel[2], pixel[3], pixel[0]));
        icons.append(image);
    }
    argument.endArray();
    return icons;
}

}  // namespace

StatusNotifierWatcher::StatusNotifierWatcher(const SessionBus& bus, std::chrono::milliseconds hostAfter) {
    if (!bus.started()) {
        process_.fail(QStringLiteral("fake-status-notifier-watcher: no session bus to serve on"));
        return;
    }
    QStringList arguments;
    if (hostAfter.count() > 0) arguments << QStringLiteral("--host-after") << QString::number(hostAfter.count());
    if (process_.start(QStringLiteral(AVRANE_FAKE_WATCHER), arguments, childEnvironment({&bus})))
        process_.waitForLine(QStringLiteral("watching"));
}

std::optional<StatusNotifierItemAddress> StatusNotifierWatcher::next(const QString& event, std::chrono::milliseconds deadline) {
    const auto line = process_.waitForLine(event + QLatin1Char(' '), deadline);
    if (!line) return std::nullopt;
    const QStringList words = line->split(QLatin1Char(' '));
    return StatusNotifierItemAddress{words.value(1), words.value(2)};
}

std::optional<StatusNotifierItemAddress> StatusNotifierWatcher::nextRegistration(std::chrono::milliseconds deadline) {
    return next(QStringLiteral("registered"), deadline);
}

StatusNotifierItem::StatusNotifierItem(const QDBusConnection& bus, StatusNotifierItemAddress address)
    : bus_(bus), address_(std::move(address)) {}

::testing::AssertionResult StatusNotifierItem::activate(QPoint position) const {
    QDBusMessage call = QDBusMessage::createMethodCall(address_.service, address_.path, itemInterface, QStringLiteral("Activate"));
    call << position.x() << position.y();
    const QDBusMessage reply = bus_.call(call, QDBus::Block, 5000);
    if (reply.type() == QDBusMessage::ReplyMessage) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "Activate on " << address_.service.toStdString() << ": "
                                         << reply.errorMessage().toStdString();
}

std::optional<QVariant> StatusNotifierItem::property(const QString& name) const {
    return busProperty(bus_, address_.service, address_.path, itemInterface, name);
}

std::optional<StatusNotifierItem::ToolTip> StatusNotifierItem::toolTip() const {
    const auto value = property(QStringLiteral("ToolTip"));
    if (!value || !value->canConvert<QDBusArgument>()) return std::nullopt;
    const QDBusArgument argument = value->value<QDBusArgument>();
    if (argument.currentSignature() != QLatin1String("(sa(iiay)ss)")) return std::nullopt;
    // (icon name, icon pixmaps, title, text); the icons are IconName's and IconPixmap's business.
    QString iconName;
    ToolTip toolTip;
    argument.beginStructure();
    argument >> iconName;
    readIcons(argument);
    argument >> toolTip.title >> toolTip.text;
    argument.endStructure();
    return toolTip;
}

QImage StatusNotifierItem::icon() const {
    const auto value = property(QStringLiteral("IconPixmap"));
    if (!value || !value->canConvert<QDBusArgument>()) return {};
    const QDBusArgument argument = value->value<QDBusArgument>();
    if (argument.currentSignature() != QLatin1String("a(iiay)")) return {};
    QImage largest;
    for (const QImage& image : readIcons(argument)) {
        if (image.width() > largest.width()) largest = image;
    }
    return largest;
}

}  // namespace avrane::testing
