#pragma once

#include <chrono>
#include <functional>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include <QObject>
#include <QPoint>
#include <QSize>
#include <QString>
#include <QStringList>

#include "Soak/PanelLayout.h"
#include "Soak/ProgramRuns.h"

namespace avrane::testing {
class X11Display;
}

namespace avrane::soak {

// A user at the desktop: now and then opens the panel with a click on the tray icon, moves
// the sidetone slider (a click on its track, a drag, arrow and page keys) and flips the
// light's switch, and closes the panel again with a click on the icon or Escape. Real input
// through xdotool; the places come from the layout dump, the panel's and the icon's from the
// X server.
class PanelHand : public QObject {
    Q_OBJECT

public:
    // The panel's window title.
    static constexpr const char* panelTitle = "AVRANE H9";

    // `patience`: how long the panel may take to open or close before that is a problem.
    // `mayMove`: whether the panel holds the controls where the dump has them and will for a
    // moment yet: the application shows a connected headset and no fault is about to change
    // that (without a dongle the panel holds other rows, and a click there would flip the
    // user's preferences).
    PanelHand(ProgramRuns& runs, const testing::X11Display& x, QSize screen, std::mt19937& random,
              std::chrono::milliseconds patience, std::function<bool()> mayMove,
              std::function<void(const QString&)> problem);

    // Finds the controls in the layout dump; why not, when it cannot.
    std::optional<std::string> learn(const std::vector<std::string>& dump);
    void start();
    // No new visit; one in progress ends with the panel closed, and an open panel is closed.
    void stop();
    // At rest with the panel closed.
    bool closed() const;

    int opened() const { return opened_; }
    int closedCount() const { return closed_; }
    int moves() const { return moves_; }
    // Moves left out because the headset was not shown or a fault was near, or else because
    // the panel did not stand at its dumped size (the last such size seen).
    int movesAtAnotherSize() const { return movesAtAnotherSize_; }
    QSize anotherSize() const { return anotherSize_; }
    int movesNearAFault() const { return movesNearAFault_; }
    QSize laidOut() const { return laidOut_; }

private:
    void visit();
    void open(const std::function<void()>& then);
    void move(int left, const std::function<void()>& then);
    void close(const std::function<void()>& then);
    void rest();
    bool panelShown() const;
    std::optional<QPoint> icon() const;
    // A point of a control on screen, `fraction` of the way across it, and the xdotool
    // arguments that first scroll the cards so that it shows; nothing while the panel is not
    // shown as it was dumped.
    std::optional<std::pair<QPoint, QStringList>> reach(const PanelLayout::Widget& control, double fraction) const;
    void xdotool(const QStringList& arguments);
    // Calls `then` once `condition` holds, or after `limit` with a problem named `what`.
    void waitFor(std::function<bool()> condition, const QString& what, const std::function<void()>& then);
    int between(int least, int most) { return std::uniform_int_distribution<int>(least, most)(random_); }

    ProgramRuns& runs_;
    const testing::X11Display& x_;
    QSize screen_;
    std::mt19937& random_;
    std::chrono::milliseconds patience_;
    std::function<bool()> mayMove_;
    std::function<void(const QString&)> problem_;
    QSize laidOut_;  // the panel's size in the dump
    std::optional<PanelLayout::Widget> slider_, led_, scrollBar_;
    QString lastMove_;  // for a panel that closed by itself
    bool busy_ = false, stopping_ = false;
    int opened_ = 0, closed_ = 0, moves_ = 0;
    // Counted where reach() refuses.
    mutable int movesAtAnotherSize_ = 0, movesNearAFault_ = 0;
    mutable QSize anotherSize_;
};

}  // namespace avrane::soak
