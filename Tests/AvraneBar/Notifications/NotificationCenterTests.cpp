#include <thread>

#include <gmock/gmock.h>

#include <QCoreApplication>
#include <QThread>

#include "AvraneBar/Notifications/NotificationCenter.h"
#include "QtSupport/QtTestSupport.h"

namespace avrane {
namespace {

TEST(NotificationCenter, observersHearTheirNameUntilTheirContextGoes) {
    auto& center = NotificationCenter::defaultCenter();
    int language = 0;
    int preferences = 0;
    auto observer = std::make_unique<QObject>();
    center.observe("avrane.localization.didChange", observer.get(), [&] { ++language; });
    const auto connection = center.observe("avrane.menubar.preferencesDidChange", observer.get(), [&] { ++preferences; });

    center.post("avrane.localization.didChange");
    center.post("avrane.localization.didChange");
    center.post("avrane.localization");
    EXPECT_EQ(language, 2);  // delivered at once on the posting thread
    EXPECT_EQ(preferences, 0);

    center.post("avrane.menubar.preferencesDidChange");
    QObject::disconnect(connection);
    center.post("avrane.menubar.preferencesDidChange");
    EXPECT_EQ(preferences, 1);

    observer.reset();
    center.post("avrane.localization.didChange");
    EXPECT_EQ(language, 2);
}

TEST(NotificationCenter, postsFromAnotherThreadRunOnTheObserversThread) {
    QObject observer;
    QThread* ranOn = nullptr;
    NotificationCenter::defaultCenter().observe("avrane.localization.didChange", &observer,
                                                [&] { ranOn = QThread::currentThread(); });
    std::thread poster([] { NotificationCenter::defaultCenter().post("avrane.localization.didChange"); });
    poster.join();
    ASSERT_TRUE(testing::waitUntil([&] { return ranOn != nullptr; }));
    EXPECT_EQ(ranOn, QCoreApplication::instance()->thread());
}

}  // namespace
}  // namespace avrane
