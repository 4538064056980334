#pragma once

#include <functional>

#include <QObject>
#include <QString>

namespace avrane {

// One AvraneBar per desktop session: the first instance takes the application's name on the
// session bus and serves ShowPanel there; a later one asks it to show its panel and ends.
// Without a session bus every instance runs on its own.
class SingleInstance : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "io.github.avranebar.AvraneBar")

public:
    enum class Outcome {
        first,          // this process owns the name (or there is no session bus)
        shownRunning,   // the running instance was asked to show its panel
        runningSilent,  // the name is held but its owner did not answer
        running,        // the name is held; its owner was not asked anything
    };

    explicit SingleInstance(QObject* parent = nullptr);
    ~SingleInstance() override;

    // Takes the name, or asks its owner to show the panel (unless `showsRunningPanel` is
    // false). `timeoutMs` bounds the question.
    Outcome claim(bool showsRunningPanel = true, int timeoutMs = 5000);
    // What ShowPanel does in the first instance.
    void setShowPanel(std::function<void()> show) { showPanel_ = std::move(show); }

public slots:
    Q_SCRIPTABLE void ShowPanel();

private:
    std::function<void()> showPanel_;
    bool registered_ = false;
};

}  // namespace avrane
