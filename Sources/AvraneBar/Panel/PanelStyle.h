#pragma once

#include <QColor>
#include <QFont>
#include <QPalette>

#include "AvraneBar/Panel/PanelTexts.h"

class QLabel;
class QWidget;

namespace avrane::style {

// Colours come from the palette so that light and dark themes both read; green, orange and
// red are chosen per theme, darker on light windows and brighter on dark ones.
bool isDark(const QPalette& palette);
QColor secondaryText(const QPalette& palette);
QColor toneColour(Tone tone, const QPalette& palette);
// The faint track of the battery gauge and the box and border of a card.
QColor gaugeTrack(const QPalette& palette);
QColor cardBackground(const QPalette& palette);
QColor cardBorder(const QPalette& palette);

// Fonts relative to the application font.
QFont smallFont(const QFont& base);
QFont headlineFont(const QFont& base);
QFont cardTitleFont(const QFont& base);

// Sets a label's text colour through its palette.
void setTextColour(QLabel* label, const QColor& colour);
// Colours a label by tone, from the application's palette, and remembers the tone so that
// `reapplyTones` can colour it again for a new palette (a change of theme).
void setTone(QLabel* label, Tone tone);
void reapplyTones(QWidget* root);

}  // namespace avrane::style
