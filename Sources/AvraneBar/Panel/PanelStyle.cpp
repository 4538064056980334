#include "AvraneBar/Panel/PanelStyle.h"

#include <QApplication>
#include <QLabel>

namespace avrane::style {

bool isDark(const QPalette& palette) { return palette.color(QPalette::Window).lightnessF() < 0.5; }

QColor secondaryText(const QPalette& palette) {
    // Two thirds of the way from the window to its text: readable, but behind the values.
    const QColor text = palette.color(QPalette::WindowText);
    const QColor window = palette.color(QPalette::Window);
    return QColor::fromRgbF(window.redF() + (text.redF() - window.redF()) * 0.68f,
                            window.greenF() + (text.greenF() - window.greenF()) * 0.68f,
                            window.blueF() + (text.blueF() - window.blueF()) * 0.68f);
}

QColor toneColour(Tone tone, const QPalette& palette) {
    const bool dark = isDark(palette);
    switch (tone) {
    case Tone::green: return dark ? QColor(0x4C, 0xD9, 0x64) : QColor(0x1E, 0x7F, 0x35);
    case Tone::orange: return dark ? QColor(0xFF, 0xA4, 0x2E) : QColor(0xB4, 0x50, 0x00);
    case Tone::red: return dark ? QColor(0xFF, 0x5E, 0x57) : QColor(0xC4, 0x1C, 0x1C);
    case Tone::secondary: break;
    }
    return secondaryText(palette);
}

QColor gaugeTrack(const QPalette& palette) {
    QColor track = palette.color(QPalette::WindowText);
    track.setAlphaF(0.16f);
    return track;
}

// A card is the text background at 45 % over the window, as on a translucent popover. A Qt
// window is opaque, and a light theme's window is nearly as light as its text background
// (#EFEFEF under #FFFFFF in Fusion): at 45 % a card would stand out by one part in a hundred,
// so a light theme takes 75 %.
QColor cardBackground(const QPalette& palette) {
    QColor background = palette.color(QPalette::Base);
    background.setAlphaF(isDark(palette) ? 0.45f : 0.75f);
    return background;
}

// Qt's palettes have no separator colour; a separator line is drawn in the window's text at
// about a third of its strength, and a card's border is that at 45 %.
QColor cardBorder(const QPalette& palette) {
    QColor border = palette.color(QPalette::WindowText);
    border.setAlphaF(0.31f * 0.45f);
    return border;
}

QFont smallFont(const QFont& base) {
    QFont font = base;
    if (base.pointSizeF() > 0) {
        font.setPointSizeF(base.pointSizeF() * 0.85);
    } else {
        font.setPixelSize(std::max(9, base.pixelSize() * 85 / 100));
    }
    return font;
}

QFont headlineFont(const QFont& base) {
    QFont font = base;
    if (base.pointSizeF() > 0) {
        font.setPointSizeF(base.pointSizeF() + 3);
    } else {
        font.setPixelSize(base.pixelSize() + 4);
    }
    font.setWeight(QFont::DemiBold);
    return font;
}

QFont cardTitleFont(const QFont& base) {
    QFont font = smallFont(base);
    font.setWeight(QFont::DemiBold);
    return font;
}

void setTextColour(QLabel* label, const QColor& colour) {
    QPalette palette = label->palette();
    if (palette.color(QPalette::WindowText) == colour) return;
    palette.setColor(QPalette::WindowText, colour);
    label->setPalette(palette);
}

namespace {
constexpr const char* toneProperty = "avraneTone";
}

void setTone(QLabel* label, Tone tone) {
    label->setProperty(toneProperty, int(tone));
    // The application's palette, not the label's, which holds the colour set last.
    setTextColour(label, toneColour(tone, QApplication::palette()));
}

void reapplyTones(QWidget* root) {
    for (QLabel* label : root->findChildren<QLabel*>()) {
        const QVariant tone = label->property(toneProperty);
        if (tone.isValid()) setTone(label, Tone(tone.toInt()));
    }
}

}  // namespace avrane::style
