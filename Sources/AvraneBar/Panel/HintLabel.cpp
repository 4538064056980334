#include "AvraneBar/Panel/HintLabel.h"

#include <algorithm>

#include <QEvent>
#include <QPainter>
#include <QTextLayout>

namespace avrane {
namespace {

QTextOption wrapping() {
    QTextOption option;
    option.setWrapMode(QTextOption::WordWrap);
    return option;
}

}  // namespace

HintLabel::HintLabel(QWidget* parent) : QLabel(parent) {
    setWordWrap(true);
    setTextFormat(Qt::PlainText);
}

int HintLabel::textWidth(int width) const {
    const QMargins margins = contentsMargins();
    return std::max(1, width - margins.left() - margins.right() - 2 * margin());
}

int HintLabel::lineCount(int width) const {
    QTextLayout layout(text(), font());
    layout.setTextOption(wrapping());
    layout.beginLayout();
    int lines = 0;
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(textWidth(width));
        ++lines;
    }
    layout.endLayout();
    return lines;
}

bool HintLabel::isCutAt(int width) const { return lineCount(width) > maximumLines; }

int HintLabel::heightForWidth(int width) const {
    const QMargins margins = contentsMargins();
    // Lines follow each other without leading, as QLabel lays them out.
    const int cap = maximumLines * fontMetrics().height() + margins.top() + margins.bottom() + 2 * margin();
    return std::min(QLabel::heightForWidth(width), cap);
}

QSize HintLabel::sizeHint() const {
    const QSize hint = QLabel::sizeHint();
    return {hint.width(), heightForWidth(hint.width())};
}

QSize HintLabel::minimumSizeHint() const {
    const QSize hint = QLabel::minimumSizeHint();
    return {hint.width(), std::min(hint.height(), heightForWidth(hint.width()))};
}

void HintLabel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setPen(palette().color(foregroundRole()));
    const QRect area = contentsRect().adjusted(margin(), margin(), -margin(), -margin());
    const QFontMetrics metrics = fontMetrics();
    QTextLayout layout(text(), font());
    layout.setTextOption(wrapping());
    layout.beginLayout();
    int lines = 0;
    qreal y = 0;
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(area.width());
        line.setPosition(QPointF(0, y));
        y += line.height();
        if (++lines == maximumLines) break;
    }
    layout.endLayout();
    for (int i = 0; i < layout.lineCount(); ++i) {
        const QTextLine line = layout.lineAt(i);
        const QPointF at = area.topLeft() + line.position();
        const bool last = i == maximumLines - 1 && line.textStart() + line.textLength() < text().size();
        if (!last) {
            line.draw(&painter, area.topLeft());
            continue;
        }
        // The rest of the text on the last line, cut with an ellipsis.
        const QString rest = metrics.elidedText(text().mid(line.textStart()).simplified(), Qt::ElideRight, area.width());
        painter.drawText(QPointF(at.x(), at.y() + metrics.ascent()), rest);
    }
}

void HintLabel::updateToolTip() {
    const QString tip = isCutAt(width()) ? text() : QString();
    if (toolTip() != tip) setToolTip(tip);
}

void HintLabel::resizeEvent(QResizeEvent* event) {
    QLabel::resizeEvent(event);
    updateToolTip();
}

void HintLabel::changeEvent(QEvent* event) {
    QLabel::changeEvent(event);
    if (event->type() == QEvent::FontChange) updateToolTip();
}

}  // namespace avrane
