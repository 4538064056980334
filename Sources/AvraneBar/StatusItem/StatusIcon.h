#pragma once

#include <QColor>
#include <QIcon>
#include <QImage>
#include <QString>

namespace avrane {

// The tray icon: a headphones glyph with the tray title drawn into the square image.
//
// `title` is the text a Mac menu bar would show beside the icon: "" (nothing known), " 80%",
// " 80%⚡", " 80% · 12", " 80%⚡ · 12" or " 12" (volume only). Linux trays show no text
// beside the icon, so the numbers go into the image. Everything is drawn in `colour` on a
// transparent background; the image is pixelSize × devicePixelRatio device pixels square,
// laid out at that resolution so that strokes stay on whole pixels.
QImage drawStatusIcon(const QString& title, int pixelSize, const QColor& colour, qreal devicePixelRatio = 1.0);

// Pixmaps at 16, 22, 24, 32, 44, 48 and 64 pixels, each drawn at its own size (not scaled).
QIcon statusIcon(const QString& title, const QColor& colour);

}  // namespace avrane
