#include "Soak/PanelHand.h"

#include <QTimer>

#include "Support/X11Display.h"

namespace avrane::soak {

PanelHand::PanelHand(ProgramRuns& runs, const testing::X11Display& x, QSize screen, std::mt19937& random,
                     std::chrono::milliseconds patience, std::function<bool()> mayMove,
                     std::function<void(const QString&)> problem)
    : runs_(runs),
      x_(x),
      screen_(screen),
      random_(random),
      patience_(patience),
      mayMove_(std::move(mayMove)),
      problem_(std::move(problem)) {}

std::optional<std::string> PanelHand::learn(const std::vector<std::string>& dump) {
    const auto layout = PanelLayout::parse(dump);
    if (!layout) return "the layout dump cannot be read";
    // The English titles of the rows (the soak starts the application in English).
    const auto* slider = layout->controlAfter("Sidetone", "ValueSlider");
    const auto* led = layout->controlAfter("Indicator Light", "ToggleSwitch");
    const auto* bar = layout->scrollBar();
    for (const auto& [control, name] : {std::pair{slider, "the sidetone slider"}, {led, "the indicator light's switch"}}) {
        if (!control) return std::string("no ") + name + " in the layout dump";
        if (!control->atTop.shown && !(control->atEnd.shown && bar)) return std::string(name) + " cannot be brought into sight";
    }
    slider_ = *slider;
    led_ = *led;
    laidOut_ = QSize(layout->panel().width, layout->panel().height);
    if (bar) scrollBar_ = *bar;
    return std::nullopt;
}

void PanelHand::start() {
    // The panel opens by itself at the start; the first visit finds it open.
    QTimer::singleShot(between(1000, 3000), this, [this] { visit(); });
}

void PanelHand::stop() {
    stopping_ = true;
    if (!busy_ && panelShown()) {
        busy_ = true;
        close([this] { busy_ = false; });
    }
}

bool PanelHand::closed() const { return !busy_ && !panelShown(); }

bool PanelHand::panelShown() const {
    const auto panel = x_.window(QString::fromLatin1(panelTitle));
    return panel && panel->viewable;
}

std::optional<QPoint> PanelHand::icon() const {
    const auto icons = x_.embeddedWindows(QStringLiteral("avrane-bar"));
    if (icons.empty()) return std::nullopt;
    return icons.front().geometry.center();
}

std::optional<std::pair<QPoint, QStringList>> PanelHand::reach(const PanelLayout::Widget& control, double fraction) const {
    const auto panel = x_.window(QString::fromLatin1(panelTitle));
    if (!panel || !panel->viewable) return std::nullopt;
    if (!mayMove_()) {
        ++movesNearAFault_;
        return std::nullopt;
    }
    if (panel->geometry.size() != laidOut_) {
        ++movesAtAnotherSize_;
        anotherSize_ = panel->geometry.size();
        return std::nullopt;
    }
    const QPoint origin = panel->geometry.topLeft();
    // The wheel over the scroll bar takes the cards to one end, whatever the place they were
    // left at; over a slider it would move the slider.
    QStringList scroll;
    if (scrollBar_) {
        const QPoint bar = origin + QPoint(scrollBar_->atTop.box.x + scrollBar_->atTop.box.width / 2, scrollBar_->atTop.box.centerY());
        scroll = {QStringLiteral("mousemove"), QString::number(bar.x()), QString::number(bar.y()), QStringLiteral("click"),
                  QStringLiteral("--repeat"), QStringLiteral("30"), QStringLiteral("--delay"), QStringLiteral("5"),
                  control.atTop.shown ? QStringLiteral("4") : QStringLiteral("5")};
    }
    const Box& box = control.atTop.shown ? control.atTop.box : control.atEnd.box;
    return std::pair{origin + QPoint(box.x + int(fraction * (box.width - 1)), box.centerY()), scroll};
}

void PanelHand::xdotool(const QStringList& arguments) {
    runs_.start(QStringLiteral("xdotool"), arguments, std::chrono::seconds(10), [this, arguments](const ProgramEnd& end) {
        if (!end.exitedWith(0)) {
            problem_(QStringLiteral("xdotool %1: %2 %3")
                         .arg(arguments.join(QLatin1Char(' ')), end.description(), QString::fromLocal8Bit(end.errors).trimmed()));
        }
    });
}

void PanelHand::waitFor(std::function<bool()> condition, const QString& what, const std::function<void()>& then) {
    auto* timer = new QTimer(this);
    auto waited = std::make_shared<int>(0);
    connect(timer, &QTimer::timeout, this, [=, this] {
        *waited += 50;
        const bool held = condition();
        if (!held && *waited < patience_.count()) return;
        timer->deleteLater();
        if (!held) problem_(what);
        then();
    });
    timer->start(50);
}

void PanelHand::visit() {
    if (stopping_) return;
    busy_ = true;
    open([this] { move(between(1, 3), [this] { close([this] { rest(); }); }); });
}

void PanelHand::rest() {
    busy_ = false;
    if (stopping_) return;
    QTimer::singleShot(between(3000, 10000), this, [this] { visit(); });
}

void PanelHand::open(const std::function<void()>& then) {
    lastMove_.clear();
    if (panelShown()) return then();
    const auto point = icon();
    if (!point) {
        problem_(QStringLiteral("no tray icon of avrane-bar to click"));
        return rest();
    }
    // In from the screen's corner, so that the icon sees the pointer arrive; a few pixels
    // off the last click, so that two never make a double click.
    const QPoint click = *point + QPoint(between(-3, 3), between(-3, 3));
    xdotool({QStringLiteral("mousemove"), QString::number(screen_.width() - 1), QString::number(screen_.height() - 1),
             QStringLiteral("mousemove"),
             QString::number(click.x()), QString::number(click.y()), QStringLiteral("click"), QStringLiteral("1")});
    waitFor([this] { return panelShown(); },
            QStringLiteral("the panel did not open within %1 s of a click on the tray icon").arg(patience_.count() / 1000),
            [this, then] {
                if (!panelShown()) return rest();
                ++opened_;
                // The placement under the icon settles before the hand goes to a control.
                QTimer::singleShot(400, this, then);
            });
}

void PanelHand::move(int left, const std::function<void()>& then) {
    if (left == 0 || !panelShown()) return then();
    lastMove_.clear();
    // Only while the panel holds the controls where the dump has them.
    const auto act = [this](const QStringList& arguments) {
        ++moves_;
        xdotool(arguments);
    };
    const auto point = [](const QPoint& p) { return QStringList{QString::number(p.x()), QString::number(p.y())}; };
    const QString one = QStringLiteral("1");
    const double somewhere = between(5, 95) / 100.0;
    switch (between(0, 3)) {
    case 0:  // a click on the slider's track
        lastMove_ = QStringLiteral("a click on the sidetone slider");
        if (const auto r = reach(*slider_, somewhere)) {
            act(r->second + QStringList{QStringLiteral("mousemove")} + point(r->first) + QStringList{QStringLiteral("click"), one});
        }
        break;
    case 1:  // a drag along it
        lastMove_ = QStringLiteral("a drag along the sidetone slider");
        if (const auto r = reach(*slider_, somewhere)) {
            const QPoint to(r->first.x() + between(-60, 60), r->first.y());
            act(r->second + QStringList{QStringLiteral("mousemove")} + point(r->first) +
                    QStringList{QStringLiteral("mousedown"), one, QStringLiteral("mousemove")} + point((r->first + to) / 2) +
                    QStringList{QStringLiteral("mousemove")} + point(to) + QStringList{QStringLiteral("mouseup"), one});
        }
        break;
    case 2: {  // the keyboard, once the slider has the focus from a click on it
        static const QStringList keys{QStringLiteral("Right"), QStringLiteral("Left"), QStringLiteral("Up"), QStringLiteral("Down"),
                                      QStringLiteral("Page_Up"), QStringLiteral("Page_Down"), QStringLiteral("Home"),
                                      QStringLiteral("End")};
        lastMove_ = QStringLiteral("keys on the sidetone slider");
        if (const auto r = reach(*slider_, somewhere)) {
            QStringList arguments = r->second + QStringList{QStringLiteral("mousemove")} + point(r->first) +
                                    QStringList{QStringLiteral("click"), one, QStringLiteral("key")};
            for (int n = between(1, 3); n > 0; --n) arguments << keys[between(0, int(keys.size()) - 1)];
            act(arguments);
        }
        break;
    }
    default:  // the light's switch
        lastMove_ = QStringLiteral("a click on the light's switch");
        if (const auto r = reach(*led_, 0.5)) {
            act(r->second + QStringList{QStringLiteral("mousemove")} + point(r->first) + QStringList{QStringLiteral("click"), one});
        }
        break;
    }
    QTimer::singleShot(between(300, 900), this, [this, left, then] { move(left - 1, then); });
}

void PanelHand::close(const std::function<void()>& then) {
    if (!panelShown()) {
        problem_(QStringLiteral("the panel closed by itself after %1").arg(lastMove_.isEmpty() ? QStringLiteral("it opened") : lastMove_));
        return then();
    }
    if (between(0, 1) == 0) {
        if (const auto point = icon()) {
            const QPoint click = *point + QPoint(between(-3, 3), between(-3, 3));
            xdotool({QStringLiteral("mousemove"), QString::number(click.x()), QString::number(click.y()), QStringLiteral("click"),
                     QStringLiteral("1")});
        }
    } else {
        xdotool({QStringLiteral("key"), QStringLiteral("Escape")});
    }
    waitFor([this] { return !panelShown(); }, QStringLiteral("the panel did not close within %1 s").arg(patience_.count() / 1000),
            [this, then] {
        if (!panelShown()) ++closed_;
        then();
    });
}

}  // namespace avrane::soak
