// Small shapes (thumbs, grips) rendered pixel by pixel at the device resolution, so that edges
// land on whole device pixels at every device-pixel ratio instead of being smoothed by scaling.
#pragma once

#include <QColor>
#include <QImage>
#include <QPainter>
#include <QSize>

#include <functional>

namespace korvane {

// What the shader learns about one device pixel inside the shape.
struct TShapePixel {
  double X = 0;  // centre of the pixel, logical coordinates
  double Y = 0;
  // Logical pixels to the shape's edge in each direction: 1 on the outermost ring.
  int Up = 0;
  int Down = 0;
  int Left = 0;
  int Right = 0;
};

using TInsideFn = std::function<bool(double x, double y)>;
using TShadeFn = std::function<QColor(const TShapePixel&)>;

// A transparent image of `logical` size times `dpr` device pixels, carrying `dpr`, with every
// pixel whose centre `inside` accepts painted in the colour `shade` gives it.
QImage RenderShape(QSize logical, qreal dpr, const TInsideFn& inside, const TShadeFn& shade);

// A raised look from the rings: an outline of mid grey above and left, shadow below and right;
// inside it light above and left, mid grey below and right; face elsewhere.
struct TBevel {
  QColor Face;
  QColor Light;
  QColor Mid;
  QColor Shadow;
  QColor operator()(const TShapePixel& p) const;
};

// The device-pixel ratio of what `painter` paints on: the screen's, or a QImage's when the
// widget is rendered into one.
qreal TargetPixelRatio(const QPainter& painter);

}  // namespace korvane
