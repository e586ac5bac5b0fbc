#include "widgets/PixelShapes.h"

#include <QPaintDevice>
#include <QPaintEngine>

#include <algorithm>
#include <cmath>
#include <vector>

namespace korvane {

QImage RenderShape(QSize logical, qreal dpr, const TInsideFn& inside, const TShadeFn& shade) {
  const int w = static_cast<int>(std::lround(logical.width() * dpr));
  const int h = static_cast<int>(std::lround(logical.height() * dpr));
  QImage image(std::max(w, 1), std::max(h, 1), QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  image.setDevicePixelRatio(dpr);
  if (w <= 0 || h <= 0) return image;

  std::vector<char> mask(static_cast<std::size_t>(w) * h);
  auto in = [&](int x, int y) {
    return x >= 0 && y >= 0 && x < w && y < h && mask[static_cast<std::size_t>(y) * w + x];
  };
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      mask[static_cast<std::size_t>(y) * w + x] = inside((x + 0.5) / dpr, (y + 0.5) / dpr);
    }
  }
  // Rings are counted in logical pixels so the bevel has the same look at every ratio.
  auto ring = [&](int x, int y, int dx, int dy) {
    int k = 1;
    while (in(x + k * dx, y + k * dy)) ++k;
    return static_cast<int>(std::ceil(k / dpr));
  };
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      if (!in(x, y)) continue;
      TShapePixel p;
      p.X = (x + 0.5) / dpr;
      p.Y = (y + 0.5) / dpr;
      p.Up = ring(x, y, 0, -1);
      p.Down = ring(x, y, 0, 1);
      p.Left = ring(x, y, -1, 0);
      p.Right = ring(x, y, 1, 0);
      const QColor c = shade(p);
      if (c.alpha() > 0) image.setPixelColor(x, y, c);
    }
  }
  return image;
}

QColor TBevel::operator()(const TShapePixel& p) const {
  if (p.Up == 1) return Mid;
  if (p.Down == 1) return Shadow;
  if (p.Left == 1) return Mid;
  if (p.Right == 1) return Shadow;
  if (p.Up == 2 || p.Left == 2) return Light;
  if (p.Down == 2 || p.Right == 2) return Mid;
  return Face;
}

qreal TargetPixelRatio(const QPainter& painter) {
  const QPaintEngine* engine = painter.paintEngine();
  if (engine && engine->paintDevice()) return engine->paintDevice()->devicePixelRatio();
  return painter.device() ? painter.device()->devicePixelRatio() : 1.0;
}

}  // namespace korvane
