#include "AvraneBar/Panel/EdgeResize.h"

#include <QMouseEvent>
#include <QWidget>
#include <QWindow>

namespace avrane {
namespace {

Qt::CursorShape shapeFor(Qt::Edges edges) {
    const bool horizontal = edges & (Qt::LeftEdge | Qt::RightEdge);
    const bool vertical = edges & (Qt::TopEdge | Qt::BottomEdge);
    if (horizontal && vertical) {
        const bool falling = edges == (Qt::TopEdge | Qt::LeftEdge) || edges == (Qt::BottomEdge | Qt::RightEdge);
        return falling ? Qt::SizeFDiagCursor : Qt::SizeBDiagCursor;
    }
    return horizontal ? Qt::SizeHorCursor : Qt::SizeVerCursor;
}

}  // namespace

Qt::Edges resizeEdgesAt(QPoint position, QSize size, int band) {
    Qt::Edges edges;
    if (position.x() < 0 || position.y() < 0 || position.x() >= size.width() || position.y() >= size.height()) return edges;
    if (position.x() < band) edges |= Qt::LeftEdge;
    if (position.x() >= size.width() - band) edges |= Qt::RightEdge;
    if (position.y() < band) edges |= Qt::TopEdge;
    if (position.y() >= size.height() - band) edges |= Qt::BottomEdge;
    return edges;
}

EdgeResize::EdgeResize(QWidget* window) : QObject(window), window_(window) {}

bool EdgeResize::eventFilter(QObject* watched, QEvent* event) {
    auto* handle = qobject_cast<QWindow*>(watched);
    if (!handle) return false;
    switch (event->type()) {
    case QEvent::MouseButtonPress: {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        const Qt::Edges edges = resizeEdgesAt(mouse->position().toPoint(), handle->size(), band);
        return edges && mouse->button() == Qt::LeftButton && handle->startSystemResize(edges);
    }
    case QEvent::MouseMove: {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->buttons() == Qt::NoButton) shape(resizeEdgesAt(mouse->position().toPoint(), handle->size(), band));
        return false;
    }
    case QEvent::Leave: shape({}); return false;
    default: return false;
    }
}

void EdgeResize::shape(Qt::Edges edges) {
    if (edges) {
        window_->setCursor(shapeFor(edges));
        shaped_ = true;
    } else if (shaped_) {
        window_->unsetCursor();
        shaped_ = false;
    }
}

}  // namespace avrane
