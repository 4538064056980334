#pragma once

#include <QScrollArea>
#include <QScrollBar>
#include <QWidget>

namespace avrane {

// The card list is the part that scrolls; it may shrink to nothing in the layout (the panel's
// size limits keep it from doing so).
class CardScrollArea : public QScrollArea {
public:
    using QScrollArea::QScrollArea;

    QSize sizeHint() const override { return {0, 0}; }
    QSize minimumSizeHint() const override { return {0, 0}; }
};

// The list inside the scroll area. Its height is the height its cards need at its width; its
// minimum would be the height at the narrowest width, where wrapped hints take more lines,
// and the scroll area would then make it taller than its cards.
class CardList : public QWidget {
public:
    QSize minimumSizeHint() const override { return {0, 0}; }
};

// The card list's scroll bar, in the panel's right margin beside the cards rather than
// taking width from them, and shown only while the list is taller than its view.
class MarginScrollBar : public QScrollBar {
public:
    MarginScrollBar(QScrollArea* area, QWidget* host);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QScrollArea* area_;
};

}  // namespace avrane
