// Shared by the widget suites: rendering a widget the way a screen of a given pixel ratio would.
#pragma once

#include <QImage>
#include <QWidget>

namespace test {

inline QImage RenderWidget(QWidget& widget, qreal dpr) {
  QImage image(widget.size() * dpr, QImage::Format_ARGB32);
  image.setDevicePixelRatio(dpr);
  image.fill(Qt::magenta);  // anything left unpainted shows up
  widget.render(&image);
  return image;
}

}  // namespace test
