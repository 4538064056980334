#pragma once

#include <cstdint>
#include <optional>

#include <QWidget>

namespace avrane {

// The header's thin battery gauge: a rounded track, filled to the level in green, orange or
// red (green while charging). No level: the track alone.
class BatteryBar : public QWidget {
    Q_OBJECT
    Q_PROPERTY(double value READ value)

public:
    static constexpr int barHeight = 6;

    explicit BatteryBar(QWidget* parent = nullptr);

    std::optional<std::uint8_t> percent() const { return percent_; }
    bool isCharging() const { return charging_; }
    // Each redraws only when the value differs.
    void setPercent(std::optional<std::uint8_t> percent);
    void setCharging(bool charging);
    // For the layout dump: the level, 0 when unknown.
    double value() const { return percent_.value_or(0); }

    QSize sizeHint() const override { return {100, barHeight}; }
    QSize minimumSizeHint() const override { return {barHeight, barHeight}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::optional<std::uint8_t> percent_;
    bool charging_ = false;
};

}  // namespace avrane
