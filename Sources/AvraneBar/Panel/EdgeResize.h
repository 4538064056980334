#pragma once

#include <QObject>
#include <QPoint>
#include <QSize>

class QWidget;

namespace avrane {

// The sides a press at `position` inside a window of `size` grabs: those within `band` pixels
// of it, a corner being two sides.
Qt::Edges resizeEdgesAt(QPoint position, QSize size, int band);

// A window without a title bar has no frame to drag either: this lets the user resize the
// widget's window from a band along its edges, through the window system (which keeps the
// window's size limits), with the matching pointer shape. Installed on the window's QWindow,
// it sees the pointer before the widgets under it.
class EdgeResize : public QObject {
public:
    static constexpr int band = 6;

    explicit EdgeResize(QWidget* window);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The pointer's shape in the band; a widget's own shape elsewhere is left alone.
    void shape(Qt::Edges edges);

    QWidget* window_;
    bool shaped_ = false;  // the window's shape is ours
};

}  // namespace avrane
