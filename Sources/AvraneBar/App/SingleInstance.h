#pragma once

#include <QObject>
#include <QString>

namespace avrane {

// One AvraneBar per desktop session: the first instance takes the application's name on the
// session bus and serves its object there (the service, with ShowPanel); a later one asks it
// to show its panel and ends. Without a session bus every instance runs on its own.
class SingleInstance {
public:
    enum class Outcome {
        first,          // this process owns the name (or there is no session bus)
        shownRunning,   // the running instance was asked to show its panel
        runningSilent,  // the name is held but its owner did not answer
        running,        // the name is held; its owner was not asked anything
    };

    SingleInstance() = default;
    ~SingleInstance();
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    // Serves `served` (with its adaptors) and takes the name, or asks the name's owner to
    // show the panel (unless `showsRunningPanel` is false). `timeoutMs` bounds the question.
    Outcome claim(QObject* served, bool showsRunningPanel = true, int timeoutMs = 5000);

private:
    bool registered_ = false;
};

}  // namespace avrane
