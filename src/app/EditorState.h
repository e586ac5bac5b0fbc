// The main window's own state, kept free of Qt so that tools and tests can use it headless.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "app/Dibactions.h"
#include "colour/WritebackSettings.h"
#include "paint/Restrictions.h"
#include "paint/Brush.h"

namespace korvane {

inline constexpr const char* CaptionText = "Korvane_24 ";
inline constexpr const char* TempPictureName = "temp_picture.bmp";

// Fixed point of the pixel write-back: weights count in units of 2^22.
inline constexpr std::int32_t TransparencyScale = 4194304;
inline constexpr int TransparencyShift = 22;

// The codes of the tool column and the tabs, written to ActiveTool.
enum TToolCode : int {
  ToolNone = -1,
  ToolAdjust = 0,
  ToolColors = 1,
  ToolImgCtrl = 2,
  ToolWarp = 3,
  ToolShift = 4,
  ToolFilterA = 5,
  ToolRetouch = 7,
  ToolDraw = 8,
  ToolFilterB = 21,
  ToolConvolve7x7 = 22,
  ToolColorTwist = 23,
  ToolHistogram = 24,
};

// A colour as tools write it: the colour value, its bytes in pixel order (blue, green, red, and a
// fourth byte that setting leaves alone), and a factor that setting makes 1.
struct TColorRecord {
  TColor Color = 0;
  std::array<std::uint8_t, 4> PixelBytes{};
  float Factor = 1.0f;
};

void SetColorRecord(TColorRecord& record, TColor color);

struct TEditorState {
  int ActiveTool = ToolNone;
  int OverlayMode = 0;
  double ZoomPercent = 100.0;
  int CompositeMode = 5;  // the library's additive compositing
  int RoiWarpMethod = 0;
  int RoiMoveMode = 1;
  bool RoiShown = false;
  int BumpMultiplier = 1;
  bool DocumentLoaded = false;
  std::string CurrentFileName;

  TColorRecord ForeColor, BackColor, DivColor, LowColor, HighColor;
  TRestrictSettings Restrict;
  TWriteBackSettings WriteBack;

  BrushSettings Brush;
  TBrushDialog BrushDialog;  // the brush dialog's kept state, its style panels included

  // The colours every first activation starts from.
  void SetDefaultColors();
};

}  // namespace korvane
