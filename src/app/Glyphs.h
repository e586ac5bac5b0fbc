// The editor's own small images: speed-button glyphs and the view's cursors, drawn in code so
// they stay sharp at any device-pixel ratio.
#pragma once

#include <QCursor>
#include <QIcon>
#include <QString>

// The glyph of a speed button, by the button's name ("createnew", "open", ..., "panic").
QIcon SpeedGlyph(const QString& name);

// The view's cursors by their screen numbers 1778..1785 (zoom out, zoom in, cross, eraser, hand,
// pen, cross 1, cross 2); other numbers give the arrow.
QCursor ViewCursor(int number);
