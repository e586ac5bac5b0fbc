// Bit shift and combining: a pixel, optionally complemented and bit-shifted, combined with a
// colour by one of 23 operations. The whole-image form combines every pixel with the pixel a
// chosen offset away (wrapping at the borders), so "Normal" moves the picture.
#pragma once

#include <array>
#include <cstdint>

#include "colour/Adjust.h"

namespace korvane {

class TDocument;

enum TShiftOperation : int {
  ShiftNormal = 0,
  ShiftXor = 1,
  ShiftAnd = 2,
  ShiftOr = 3,
  ShiftAdd = 4,
  ShiftSub = 5,
  ShiftCAdd = 6,
  ShiftCSub = 7,
  ShiftHigher = 8,
  ShiftLower = 9,
  ShiftMean = 10,
  ShiftMinMax = 11,
  ShiftRandom = 12,
  ShiftEqualize = 13,
  ShiftBurn = 14,
  ShiftSAdd = 15,
  ShiftSSub = 16,
  ShiftMultiply = 17,
  ShiftModulo = 18,
  ShiftCross = 19,
  ShiftIntensity = 20,
  ShiftBump = 21,
  ShiftBumpColor = 22,
};
inline constexpr int kShiftOperationCount = 23;
inline constexpr int kMinShiftBits = -8;
inline constexpr int kMaxShiftBits = 8;
inline constexpr int kDefaultShiftBits = 0;

// The captions of the operation buttons, by operation code.
inline constexpr std::array<const char*, kShiftOperationCount> kShiftOperationCaptions = {
    "Normal", "XOR",      "AND",    "OR",       "ADD",      "SUB",       "cADD",  "cSUB",
    "Higher", "Lower",    "Mean",   "MinMax",   "Random",   "Equalize",  "Burn",  "sADD",
    "sSUB",   "Multiply", "Modulo", "A x B",    "Intensity", "Bump",     "BumpColor"};

// What the combining reads besides the pixel and the colour, in pixel byte order.
struct TCombineSettings {
  std::array<std::uint8_t, 3> Low{0, 0, 0};
  std::array<std::uint8_t, 3> High{255, 255, 255};
  std::array<std::uint8_t, 3> Div{255, 255, 255};  // divisor of Multiply; 0 counts as 1
  std::array<std::uint8_t, 3> Back{255, 255, 255};  // base of Bump
  int BumpMultiplier = 1;  // > 0 multiplies, < 0 divides by its magnitude; 0 counts as 1

  static TCombineSettings From(const TEditorState& editor);
};

// Pixel p combined with colour c; bytes in pixel order. Operations outside 0..22 give the
// complemented and shifted pixel. Shifts outside -8..8 are clamped.
TColorRecord CombinePixel(const std::uint8_t* p, const std::uint8_t* c, int operation,
                          bool complement, int shift, const TCombineSettings& settings);

struct TShiftParams {
  int ShiftOffsetX = 0;  // positive moves content right
  int ShiftOffsetY = 0;  // positive moves content up
  int ShiftOperation = ShiftNormal;
  bool ShiftComplement = false;
  int ShiftBits = kDefaultShiftBits;
};

// The CleanBitmap pixel that lands on (x, memory row) when content moves by the offset; null
// without a document.
const std::uint8_t* ShiftSource(const TDocument& doc, int offsetX, int offsetY, int x, int row);

// Whole image.
TApplyOutcome ApplyShift(TDocument& doc, const TEditorState& editor, const TShiftParams& params,
                         IProgress& progress);

// Brush form: the shifted pixel combined with the pixel under the brush, written over the
// shifted pixel. The document must outlive the routine.
void ShiftPixel(TWriteBack& wb, const TDocument& doc, const TShiftParams& params,
                const TCombineSettings& settings);
PixelRoutine MakeShiftRoutine(const TShiftParams& params, const TEditorState& editor,
                              const TDocument& doc);

}  // namespace korvane
