#pragma once

#include <QFrame>
#include <QList>

class QVBoxLayout;

namespace avrane {

class ElidedLabel;

// A titled, rounded box of settings rows: the title, a separator line, then the rows.
class Card : public QFrame {
    Q_OBJECT

public:
    Card(const QString& title, const QList<QWidget*>& rows, QWidget* parent = nullptr);

    void setTitle(const QString& title);
    ElidedLabel* titleLabel() const { return titleLabel_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void applyColours();

    ElidedLabel* titleLabel_;
    QVBoxLayout* stack_;
};

// A one-pixel line in the palette's separator colour.
class SeparatorLine : public QWidget {
    Q_OBJECT

public:
    explicit SeparatorLine(QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
};

}  // namespace avrane
