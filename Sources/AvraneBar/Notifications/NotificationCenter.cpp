#include "AvraneBar/Notifications/NotificationCenter.h"

namespace avrane {

NotificationCenter& NotificationCenter::defaultCenter() {
    static NotificationCenter center;
    return center;
}

QMetaObject::Connection NotificationCenter::observe(const QString& name, const QObject* context,
                                                    std::function<void()> handler) {
    return connect(this, &NotificationCenter::posted, context,
                   [name, handler = std::move(handler)](const QString& postedName) {
                       if (postedName == name) handler();
                   });
}

void NotificationCenter::post(const QString& name) {
    emit posted(name);
}

}  // namespace avrane
