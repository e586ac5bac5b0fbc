#include "colour/Bitshift.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <type_traits>

#include "app/Document.h"
#include "app/Random.h"

namespace korvane {

namespace {

template <int Op>
using OpTag = std::integral_constant<int, Op>;

// Calls f(OpTag<op>) once, so that row loops are compiled per operation.
template <class F>
void WithOperation(int op, F&& f) {
  switch (op) {
    case 0: f(OpTag<0>{}); break;
    case 1: f(OpTag<1>{}); break;
    case 2: f(OpTag<2>{}); break;
    case 3: f(OpTag<3>{}); break;
    case 4: f(OpTag<4>{}); break;
    case 5: f(OpTag<5>{}); break;
    case 6: f(OpTag<6>{}); break;
    case 7: f(OpTag<7>{}); break;
    case 8: f(OpTag<8>{}); break;
    case 9: f(OpTag<9>{}); break;
    case 10: f(OpTag<10>{}); break;
    case 11: f(OpTag<11>{}); break;
    case 12: f(OpTag<12>{}); break;
    case 13: f(OpTag<13>{}); break;
    case 14: f(OpTag<14>{}); break;
    case 15: f(OpTag<15>{}); break;
    case 16: f(OpTag<16>{}); break;
    case 17: f(OpTag<17>{}); break;
    case 18: f(OpTag<18>{}); break;
    case 19: f(OpTag<19>{}); break;
    case 20: f(OpTag<20>{}); break;
    case 21: f(OpTag<21>{}); break;
    case 22: f(OpTag<22>{}); break;
    default: f(OpTag<-1>{}); break;
  }
}

bool UsesFactor(int op) { return op == ShiftEqualize || op == ShiftBurn || op == ShiftIntensity; }

// The pixel as the operations see it: complemented, then shifted as a byte.
inline void Prepare(const std::uint8_t* p, bool complement, int shift, int* w) {
  for (int k = 0; k < 3; ++k) {
    int v = complement ? 255 - p[k] : p[k];
    if (shift > 0) {
      v = (v << shift) & 255;
    } else if (shift < 0) {
      v >>= -shift;
    }
    w[k] = v;
  }
}

inline int MaxIndex(const int* v) {
  int index = 0, best = 0;
  for (int k = 0; k < 3; ++k)
    if (v[k] > best) {
      best = v[k];
      index = k;
    }
  return index;
}

inline int MinIndex(const int* v) {
  int index = 0, best = 255;
  for (int k = 0; k < 3; ++k)
    if (v[k] < best) {
      best = v[k];
      index = k;
    }
  return index;
}

inline int Largest(const int* v) { return std::max({0, v[0], v[1], v[2]}); }

inline int ScaleByMultiplier(int v, int m) { return m > 0 ? v * m : v / -m; }

// q := the combination of w (prepared) with c; answers the factor.
template <int Op>
inline float CombineOf(const int* w, const std::uint8_t* c, const TCombineSettings& s,
                       std::uint8_t* q) {
  const auto lo = [&s](int k) { return s.Low[static_cast<std::size_t>(k)]; };
  const auto hi = [&s](int k) { return s.High[static_cast<std::size_t>(k)]; };
  const auto each = [&](auto f) {
    for (int k = 0; k < 3; ++k) q[k] = static_cast<std::uint8_t>(f(k));
  };
  if constexpr (Op == ShiftNormal) {
    each([&](int k) { return c[k]; });
  } else if constexpr (Op == ShiftXor) {
    each([&](int k) { return w[k] ^ c[k]; });
  } else if constexpr (Op == ShiftAnd) {
    each([&](int k) { return w[k] & c[k]; });
  } else if constexpr (Op == ShiftOr) {
    each([&](int k) { return w[k] | c[k]; });
  } else if constexpr (Op == ShiftAdd) {
    each([&](int k) { return ClampToLimits(w[k] + c[k], lo(k), hi(k)); });
  } else if constexpr (Op == ShiftSub) {
    each([&](int k) { return ClampToLimits(std::abs(w[k] - c[k]), lo(k), hi(k)); });
  } else if constexpr (Op == ShiftCAdd) {
    each([&](int k) { return WrapToLimits(c[k] + w[k], lo(k), hi(k)); });
  } else if constexpr (Op == ShiftCSub) {
    each([&](int k) { return WrapToLimits(w[k] - c[k], lo(k), hi(k)); });
  } else if constexpr (Op == ShiftHigher) {
    each([&](int k) { return std::max(w[k], int{c[k]}); });
  } else if constexpr (Op == ShiftLower) {
    each([&](int k) { return std::min(w[k], int{c[k]}); });
  } else if constexpr (Op == ShiftMean) {
    each([&](int k) { return (w[k] + c[k]) / 2; });
  } else if constexpr (Op == ShiftMinMax) {
    const int cv[3] = {c[0], c[1], c[2]};
    each([&](int k) { return w[k]; });
    const int cMax = MaxIndex(cv), cMin = MinIndex(cv);
    if (cv[cMax] > w[MaxIndex(w)]) q[cMax] = c[cMax];
    if (cv[cMin] < w[MinIndex(w)]) q[cMin] = c[cMin];
  } else if constexpr (Op == ShiftRandom) {
    const bool take = (RandomInt() & 1) != 0;
    each([&](int k) { return take ? int{c[k]} : w[k]; });
  } else if constexpr (Op == ShiftEqualize || Op == ShiftBurn) {
    each([&](int k) { return w[k]; });
    float sw = 0.0f, sc = 0.0f;
    for (int k = 0; k < 3; ++k) {
      sw += static_cast<float>(w[k] * w[k]);
      sc += static_cast<float>(c[k] * c[k]);
    }
    if constexpr (Op == ShiftEqualize) return sw == 0.0f ? 0.0f : std::sqrt(sc / sw);
    return sc == 0.0f ? 0.0f : std::sqrt(sw / sc);
  } else if constexpr (Op == ShiftSAdd) {
    each([&](int k) { return FoldToLimits(c[k] + w[k], lo(k), hi(k)); });
  } else if constexpr (Op == ShiftSSub) {
    each([&](int k) { return FoldToLimits(w[k] - c[k], lo(k), hi(k)); });
  } else if constexpr (Op == ShiftMultiply) {
    each([&](int k) {
      const int d = s.Div[static_cast<std::size_t>(k)] == 0 ? 1 : s.Div[static_cast<std::size_t>(k)];
      return ClampToLimits(w[k] * c[k] / d, lo(k), hi(k));
    });
  } else if constexpr (Op == ShiftModulo) {
    each([&](int k) { return c[k] == 0 ? w[k] : ClampToLimits(w[k] % c[k], lo(k), hi(k)); });
  } else if constexpr (Op == ShiftCross) {
    const int x[3] = {w[2] * c[1] - w[1] * c[2], w[0] * c[2] - w[2] * c[0],
                      w[1] * c[0] - w[0] * c[1]};
    each([&](int k) { return ClampToLimits(x[k], lo(k), hi(k)); });
  } else if constexpr (Op == ShiftIntensity) {
    each([&](int k) { return c[k]; });
    return static_cast<float>(Largest(w)) / 255.0f;
  } else if constexpr (Op == ShiftBump || Op == ShiftBumpColor) {
    const int m = s.BumpMultiplier == 0 ? 1 : s.BumpMultiplier;
    const int cv[3] = {c[0], c[1], c[2]};
    const int a = ScaleByMultiplier(Largest(w), m);
    const int b = ScaleByMultiplier(Largest(cv), m);
    if constexpr (Op == ShiftBump) {
      each([&](int k) {
        return ClampToLimits(s.Back[static_cast<std::size_t>(k)] + a - b, lo(k), hi(k));
      });
    } else {
      each([&](int k) { return ClampToLimits(w[k] + a - b, lo(k), hi(k)); });
    }
  } else {
    each([&](int k) { return w[k]; });
  }
  return 1.0f;
}

std::int64_t Wrap(std::int64_t v, std::int64_t n) {
  const std::int64_t r = v % n;
  return r < 0 ? r + n : r;
}

// One row: pixel x of `clean` combined with pixel x - offsetX (wrapped) of `source`.
template <int Op>
void CombineRow(const std::uint8_t* clean, const std::uint8_t* source, int width, int offsetX,
                bool complement, int shift, const TCombineSettings& s, std::uint8_t* out,
                float* factors) {
  if constexpr (Op == ShiftNormal) {
    // The result is the source itself: the row rotated by the offset.
    const std::size_t head = 3 * static_cast<std::size_t>(offsetX);
    const std::size_t rest = 3 * static_cast<std::size_t>(width) - head;
    std::memcpy(out, source + rest, head);
    std::memcpy(out + head, source, rest);
  } else {
    int sx = offsetX == 0 ? 0 : width - offsetX;
    for (int x = 0; x < width; ++x) {
      int w[3];
      Prepare(clean + 3 * x, complement, shift, w);
      factors[x] = CombineOf<Op>(w, source + 3 * sx, s, out + 3 * x);
      if (++sx == width) sx = 0;
    }
  }
}

}  // namespace

TCombineSettings TCombineSettings::From(const TEditorState& editor) {
  TCombineSettings s;
  for (std::size_t k = 0; k < 3; ++k) {
    s.Low[k] = editor.LowColor.PixelBytes[k];
    s.High[k] = editor.HighColor.PixelBytes[k];
    s.Div[k] = editor.DivColor.PixelBytes[k];
    s.Back[k] = editor.BackColor.PixelBytes[k];
  }
  s.BumpMultiplier = editor.BumpMultiplier;
  return s;
}

TColorRecord CombinePixel(const std::uint8_t* p, const std::uint8_t* c, int operation,
                          bool complement, int shift, const TCombineSettings& settings) {
  TColorRecord r;
  int w[3];
  Prepare(p, complement, std::clamp(shift, kMinShiftBits, kMaxShiftBits), w);
  WithOperation(operation, [&](auto op) {
    r.Factor = CombineOf<decltype(op)::value>(w, c, settings, r.PixelBytes.data());
  });
  r.Color = RGBColor(r.PixelBytes[2], r.PixelBytes[1], r.PixelBytes[0]);
  return r;
}

const std::uint8_t* ShiftSource(const TDocument& doc, int offsetX, int offsetY, int x, int row) {
  if (!doc.HasDocument()) return nullptr;
  const std::int64_t sx = Wrap(std::int64_t{x} - offsetX, doc.ImageWidth());
  const std::int64_t sy = Wrap(std::int64_t{row} - offsetY, doc.ImageHeight());
  return doc.CleanPixels() + sy * doc.RowStride() + 3 * sx;
}

TApplyOutcome ApplyShift(TDocument& doc, const TEditorState& editor, const TShiftParams& params,
                         IProgress& progress) {
  if (!doc.HasDocument()) return TApplyOutcome::NoDocument;
  const TCombineSettings settings = TCombineSettings::From(editor);
  const int width = doc.ImageWidth();
  const int height = doc.ImageHeight();
  const std::ptrdiff_t stride = doc.RowStride();
  const int offsetX = static_cast<int>(Wrap(params.ShiftOffsetX, width));
  const int offsetY = static_cast<int>(Wrap(params.ShiftOffsetY, height));
  const int shift = std::clamp(params.ShiftBits, kMinShiftBits, kMaxShiftBits);
  const bool complement = params.ShiftComplement;
  const int op = params.ShiftOperation;
  return ApplyImageRows(
      doc, editor, progress, UsesFactor(op),
      [&](int row, const std::uint8_t* before, std::uint8_t* out, float* factors) {
        const int sourceRow = row - offsetY < 0 ? row - offsetY + height : row - offsetY;
        const std::uint8_t* source = before + sourceRow * stride;
        const std::uint8_t* here = before + row * stride;
        WithOperation(op, [&](auto tag) {
          CombineRow<decltype(tag)::value>(here, source, width, offsetX, complement, shift,
                                           settings, out, factors);
        });
      });
}

void ShiftPixel(TWriteBack& wb, const TDocument& doc, const TShiftParams& params,
                const TCombineSettings& settings) {
  const std::uint8_t* source =
      ShiftSource(doc, params.ShiftOffsetX, params.ShiftOffsetY, wb.CurX, wb.CurY);
  if (wb.Restriction().Active() && !RestrictionTest(wb.Restriction(), wb.CurClean)) return;
  if (wb.CurMask[AppliedPlane] >= wb.CurMask[StampPlane]) return;
  wb.BrushColor = CombinePixel(wb.CurClean, source, params.ShiftOperation,
                               params.ShiftComplement, params.ShiftBits, settings);
  // The combined colour is mixed into the shifted pixel; the cursor is put back afterwards so
  // that whatever the engine does next with CurClean concerns the pixel under the brush.
  const std::uint8_t* here = wb.CurClean;
  wb.CurClean = source;
  wb.WriteBrushPixel();
  wb.CurClean = here;
}

PixelRoutine MakeShiftRoutine(const TShiftParams& params, const TEditorState& editor,
                              const TDocument& doc) {
  const TCombineSettings settings = TCombineSettings::From(editor);
  const TDocument* d = &doc;
  return [params, settings, d](TWriteBack& wb) { ShiftPixel(wb, *d, params, settings); };
}

}  // namespace korvane
