// A small document with known pixels inside the main window, for the Qt tests of tools.
#pragma once

#include <QSpinBox>
#include <QtTest>

#include <cstdint>
#include <cstring>

#include "app/Dialogs.h"
#include "app/SDIAppForm.h"

namespace korvane::test {

// A document of the given size whose pixel (x, y) is red x, green y, blue 77.
inline void MakeDocument(TSDIAppForm& form, int w, int h) {
  form.NewImage->UDWidth->setValue(w);
  form.NewImage->UDHeight->setValue(h);
  QVERIFY(form.LoadOrCreate(TempPictureName, true));
  for (TDib* b : {&form.Document().WorkBitmap(), &form.Document().CleanBitmap()})
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        std::uint8_t* p = b->ScanLine(y) + 3 * x;
        p[0] = 77;
        p[1] = static_cast<std::uint8_t>(y);
        p[2] = static_cast<std::uint8_t>(x);
      }
  form.RefreshView();
}

inline TColor WorkPixel(TSDIAppForm& form, int x, int y) {
  const std::uint8_t* p = form.Document().WorkBitmap().ScanLine(y) + 3 * x;
  return RGBColor(p[2], p[1], p[0]);
}

inline bool WorkEqualsClean(TSDIAppForm& form) {
  const TDib& w = form.Document().WorkBitmap();
  return std::memcmp(w.Rows(), form.Document().CleanBitmap().Rows(), w.ByteSize()) == 0;
}

}  // namespace korvane::test
