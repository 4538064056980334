#pragma once

#include <functional>

#include <QIcon>
#include <QImage>
#include <QString>

#include "AvraneBar/StatusItem/TrayIconInk.h"

namespace avrane {

// The tray icon: a headphones glyph with the tray title drawn into the square image.
//
// `title` is the text a Mac menu bar would show beside the icon: "" (nothing known), " 80%",
// " 80%⚡", " 80% · 12", " 80%⚡ · 12" or " 12" (volume only). Linux trays show no text
// beside the icon, so the numbers go into the image: one number under the glyph, or from 22
// device pixels up the battery over the volume without the glyph (below that the battery
// alone: two rows of digits would be a few pixels high; the tool tip has the volume). Everything is
// drawn in the ink's fill, within its outline if it has one, on a transparent background;
// the image is pixelSize × devicePixelRatio device pixels square, laid out at that resolution
// so that strokes stay on whole pixels.
QImage drawStatusIcon(const QString& title, int pixelSize, const IconInk& ink, qreal devicePixelRatio = 1.0);

// The icon at 16, 22, 24, 32, 44 and 48 pixels, each drawn at its own size (not scaled), and
// each when it is first asked for; `drawn` is called once, when the first of them is drawn
// (the tray takes the icon in: inside its paint event, or its host's read over the bus).
QIcon statusIcon(const QString& title, const IconInk& ink, std::function<void()> drawn = {});

}  // namespace avrane
