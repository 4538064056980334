#pragma once

#include <QLabel>

namespace avrane {

// A one-line label that gives up width first and then ends its text with an ellipsis, so a
// long title (or a long Korean one) never pushes the controls out of the panel. `text()`
// stays the whole text.
class ElidedLabel : public QLabel {
    Q_OBJECT

public:
    explicit ElidedLabel(QWidget* parent = nullptr);

    QSize minimumSizeHint() const override;
    // An end of the text that is never cut (a slider's value): the rest gives way first.
    void setKeptEnd(int characters);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int keptEnd_ = 0;
};

}  // namespace avrane
