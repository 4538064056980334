#pragma once

// How well a tray icon reads on its bar, measured on a screenshot as a user sees it: the WCAG
// contrast ratio between the icon's strokes and the bar around them. Needs only QtGui.

#include <optional>

#include <QImage>
#include <QRect>
#include <QRgb>

namespace avrane::testing {

// WCAG 2's contrast ratio of two opaque colours, from 1 (the same) to 21 (black on white).
double contrastRatio(QRgb first, QRgb second);

struct IconContrast {
    QRgb background = 0;  // what the icon is drawn on
    QRgb stroke = 0;      // the typical colour of the icon's most contrasting pixels
    double ratio = 1;
};
// The icon's strokes are the tenth of the pixels in its box drawn visibly apart from the
// background (at least four pixels) that contrast most with it: the ratio is theirs at the
// median, so that anti-aliased edges and a stray pixel do not decide it, nor the size of the
// box around the icon. An icon drawn in the background's colour measures 1:1. Nothing when
// the image does not hold the box.
std::optional<IconContrast> measureIconContrast(const QImage& screen, const QRect& icon, QRgb background);

// The commonest colour in `area` (clipped to the image) that is not in `except`: the bar just
// around an icon is the ring between its box and the box grown by a few pixels; the box a
// host draws behind its items is itself mostly that box's colour.
std::optional<QRgb> commonestColour(const QImage& screen, const QRect& area, const QRect& except = {});

// The smallest rectangle inside `within` holding every pixel that differs between the two
// images (the same size); empty when none does. Finds an icon that a host added to its bar.
QRect changedArea(const QImage& before, const QImage& after, const QRect& within);

// A reference icon whose contrast is known on any background: a thick white ring inside a
// thick black one, round, so that a box found around it has the background in its corners.
// One of the two contrasts at least 4.58:1 with any colour.
QImage referenceIcon(int size);
// What measureIconContrast should find for it on a bar of this colour.
double referenceContrast(QRgb bar);

}  // namespace avrane::testing
