#pragma once

#include <QLabel>

namespace avrane {

// A small wrapping hint under a row, three lines at most: a longer text ends its third line
// with an ellipsis, and the whole text is its tool tip.
class HintLabel : public QLabel {
    Q_OBJECT

public:
    static constexpr int maximumLines = 3;

    explicit HintLabel(QWidget* parent = nullptr);

    int heightForWidth(int width) const override;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;
    // Whether the text at `width` takes more lines than are shown.
    bool isCutAt(int width) const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    // The lines the text takes in `width` pixels of text.
    int lineCount(int width) const;
    int textWidth(int width) const;
    void updateToolTip();
};

}  // namespace avrane
