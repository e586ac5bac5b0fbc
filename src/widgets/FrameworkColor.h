// Colours written as framework values: 0x00BBGGRR, red in the low byte.
#pragma once

#include <QColor>

namespace korvane {

inline QColor FrameworkColor(quint32 value) {
  return QColor(static_cast<int>(value & 0xFF), static_cast<int>((value >> 8) & 0xFF),
                static_cast<int>((value >> 16) & 0xFF));
}

}  // namespace korvane
