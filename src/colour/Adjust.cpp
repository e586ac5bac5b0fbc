#include "colour/Adjust.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

#include "app/Document.h"

namespace korvane {

namespace {

using Limits = std::array<std::uint8_t, 3>;

// Eight lanes, for the brightness rows.
using V16u8 = std::uint8_t __attribute__((vector_size(16)));
using V8u8 = std::uint8_t __attribute__((vector_size(8)));
using V8i16 = std::int16_t __attribute__((vector_size(16)));
using V4u8 = std::uint8_t __attribute__((vector_size(4)));
using V4i16 = std::int16_t __attribute__((vector_size(8)));
using V4i32 = std::int32_t __attribute__((vector_size(16)));

template <class V, class T>
V Load(const T* p) {
  V v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

Limits LimitBytes(const TColorRecord& color) {
  return {color.PixelBytes[0], color.PixelBytes[1], color.PixelBytes[2]};
}

// The write-back of a row when neither variation, restrictions, factors nor a switched-off
// channel are involved: WriteImagePixel's arithmetic with those terms left out.
void WriteSimpleRow(const std::uint8_t* clean, const std::uint8_t* colours, std::uint8_t* work,
                    int width, std::int32_t t, const Limits& low, const Limits& high) {
  const std::int64_t keep = TransparencyScale - t;
  const int n = 3 * width;
  if (t == 0) {
    for (int i = 0; i < n; i += 3) {
      work[i] = ClampToLimits(colours[i], low[0], high[0]);
      work[i + 1] = ClampToLimits(colours[i + 1], low[1], high[1]);
      work[i + 2] = ClampToLimits(colours[i + 2], low[2], high[2]);
    }
    return;
  }
  for (int i = 0; i < n; i += 3) {
    for (int k = 0; k < 3; ++k) {
      const std::int64_t a = (std::int64_t{clean[i + k]} * t) >> TransparencyShift;
      const std::int64_t b = (std::int64_t{colours[i + k]} * keep) >> TransparencyShift;
      work[i + k] = ClampToLimits(a + b, low[static_cast<std::size_t>(k)],
                                  high[static_cast<std::size_t>(k)]);
    }
  }
}

}  // namespace

std::int32_t TAdjustParams::AmountFromPercent(int percent) {
  percent = std::clamp(percent, kMinAdjustPercent, kMaxAdjustPercent);
  return static_cast<std::int32_t>(std::trunc(percent * 0.01 * TransparencyScale));
}

TAdjustParams TAdjustParams::FromPercents(int mode, bool fromMax, int red, int green, int blue) {
  TAdjustParams p;
  p.AdjustMode = mode;
  p.AdjustFromMax = fromMax;
  p.AdjustAmount = {AmountFromPercent(blue), AmountFromPercent(green), AmountFromPercent(red)};
  return p;
}

TAdjuster::TAdjuster(const TAdjustParams& params, const std::array<std::uint8_t, 3>& low,
                     const std::array<std::uint8_t, 3>& high)
    : mode_(params.AdjustMode), low_(low), high_(high), fromMax_(params.AdjustFromMax) {
  for (std::size_t k = 0; k < 3; ++k) {
    for (int v = 0; v < 256; ++v) {
      const std::int64_t base = params.AdjustFromMax ? 255 : v;
      const std::int64_t a = base * params.AdjustAmount[k];
      const auto i = static_cast<std::size_t>(v);
      add_[k][i] = static_cast<std::int16_t>(a >> TransparencyShift);
      halfAdd_[k][i] = static_cast<std::int16_t>((a >> 1) >> TransparencyShift);
      halfSub_[k][i] = static_cast<std::int16_t>((-(a >> 1)) >> TransparencyShift);
      brightness_[k][i] = ClampToLimits(v + add_[k][i], low_[k], high_[k]);
    }
  }
  for (std::size_t j = 0; j < 24; ++j) {
    const std::size_t k = j % 3;
    amountPattern_[j] = params.AdjustAmount[k];
    deltaPattern_[j] = add_[k][255];
    // Crossed limits give 0, as ClampToLimits does.
    const bool crossed = low_[k] >= high_[k];
    lowPattern_[j] = crossed ? 0 : low_[k];
    highPattern_[j] = crossed ? 0 : high_[k];
  }
  for (std::size_t j = 0; j < 48; ++j) {
    const std::size_t k = j % 3;
    const int d = add_[k][255];
    floor_[j] = static_cast<std::uint8_t>(std::max(0, -d));
    ceiling_[j] = static_cast<std::uint8_t>(std::min(255, 255 - d));
    step_[j] = static_cast<std::uint8_t>(d & 255);
    const bool crossed = low_[k] >= high_[k];
    low48_[j] = crossed ? 0 : low_[k];
    high48_[j] = crossed ? 0 : high_[k];
  }
}

void TAdjuster::Color(const std::uint8_t* p, std::uint8_t* q) const {
  if (mode_ == AdjustBrightness) {
    q[0] = brightness_[0][p[0]];
    q[1] = brightness_[1][p[1]];
    q[2] = brightness_[2][p[2]];
    return;
  }
  int r[3] = {p[0], p[1], p[2]};
  // First of equal values wins, from 0 at channel 0 and 255 at channel 0.
  int mx = 0, mxv = 0, mn = 0, mnv = 255;
  for (int k = 0; k < 3; ++k) {
    if (p[k] > mxv) {
      mxv = p[k];
      mx = k;
    }
    if (p[k] < mnv) {
      mnv = p[k];
      mn = k;
    }
  }
  if (mx != mn) {
    const int mid = 3 - mx - mn;
    const auto at = [](const auto& table, int k, std::uint8_t v) {
      return int{table[static_cast<std::size_t>(k)][v]};
    };
    switch (mode_) {
      case AdjustColorStretch:
        r[mx] += at(halfAdd_, mx, p[mx]);
        r[mn] += at(halfSub_, mn, p[mn]);
        break;
      case AdjustMaximum:
        if (p[mid] != p[mx]) r[mx] += at(add_, mx, p[mx]);
        break;
      case AdjustMedium:
        if (p[mid] != p[mx] && p[mid] != p[mn]) r[mid] += at(add_, mid, p[mid]);
        break;
      case AdjustMinimum:
        if (p[mid] != p[mn]) r[mn] += at(add_, mn, p[mn]);
        break;
      default: break;
    }
  }
  for (int k = 0; k < 3; ++k)
    q[k] = ClampToLimits(r[k], low_[static_cast<std::size_t>(k)], high_[static_cast<std::size_t>(k)]);
}

void TAdjuster::Row(const std::uint8_t* src, std::uint8_t* dst, int width) const {
  const int n = 3 * width;
  if (mode_ == AdjustBrightness) {
    int i = 0;
    if (fromMax_) {
      // Held in registers: the byte stores below could otherwise alias the tables.
      V16u8 f[3], c[3], d[3], lo[3], hi[3];
      bool limited = false;
      for (int part = 0; part < 3; ++part) {
        const std::size_t at = 16 * static_cast<std::size_t>(part);
        f[part] = Load<V16u8>(floor_.data() + at);
        c[part] = Load<V16u8>(ceiling_.data() + at);
        d[part] = Load<V16u8>(step_.data() + at);
        lo[part] = Load<V16u8>(low48_.data() + at);
        hi[part] = Load<V16u8>(high48_.data() + at);
      }
      for (std::size_t k = 0; k < 3; ++k) limited |= low_[k] != 0 || high_[k] != 255;
      for (; i + 48 <= n; i += 48) {
        for (int part = 0; part < 3; ++part) {
          V16u8 v = Load<V16u8>(src + i + 16 * part);
          v = v < f[part] ? f[part] : v;
          v = v > c[part] ? c[part] : v;
          v += d[part];
          if (limited) {
            v = v < lo[part] ? lo[part] : v;
            v = v > hi[part] ? hi[part] : v;
          }
          std::memcpy(dst + i + 16 * part, &v, sizeof v);
        }
      }
    }
    for (; i + 24 <= n; i += 24) {
      for (int part = 0; part < 3; ++part) {
        const int at = 8 * part;
        const V8u8 bytes = Load<V8u8>(src + i + at);
        const V8i16 x = __builtin_convertvector(bytes, V8i16);
        V8i16 r;
        if (fromMax_) {
          r = x + Load<V8i16>(deltaPattern_.data() + at);
        } else {
          // At most 255 times 2^22 in magnitude: the product fits 32 bits.
          V4i16 d[2];
          for (int h = 0; h < 2; ++h) {
            const V4i32 a = __builtin_convertvector(Load<V4u8>(src + i + at + 4 * h), V4i32) *
                            Load<V4i32>(amountPattern_.data() + at + 4 * h);
            d[h] = __builtin_convertvector(a >> TransparencyShift, V4i16);
          }
          r = x + Load<V8i16>(d);
        }
        const V8i16 lo = Load<V8i16>(lowPattern_.data() + at);
        const V8i16 hi = Load<V8i16>(highPattern_.data() + at);
        r = r < lo ? lo : r;
        r = r > hi ? hi : r;
        const V8u8 out = __builtin_convertvector(r, V8u8);
        std::memcpy(dst + i + at, &out, sizeof out);
      }
    }
    src += i;
    dst += i;
    const int rest = n - i;
    const std::uint8_t* b = brightness_[0].data();
    const std::uint8_t* g = brightness_[1].data();
    const std::uint8_t* r = brightness_[2].data();
    // 24 bytes are a whole number of pixels: the rest starts at blue.
    for (int j = 0; j < rest; j += 3) {
      dst[j] = b[src[j]];
      dst[j + 1] = g[src[j + 1]];
      dst[j + 2] = r[src[j + 2]];
    }
    return;
  }
  for (int i = 0; i < n; i += 3) Color(src + i, dst + i);
}

TColorRecord AdjustColor(const TAdjuster& adjuster, const std::uint8_t* p) {
  TColorRecord c;
  adjuster.Color(p, c.PixelBytes.data());
  c.Color = RGBColor(c.PixelBytes[2], c.PixelBytes[1], c.PixelBytes[0]);
  c.Factor = 1.0f;
  return c;
}

TApplyOutcome ApplyImageRows(TDocument& doc, const TEditorState& editor, IProgress& progress,
                             bool usesFactors, const TImageRowFn& rowFn) {
  if (!doc.HasDocument()) return TApplyOutcome::NoDocument;
  if (!doc.SaveUndo()) return TApplyOutcome::NoUndo;
  const TWriteBack wb(editor);
  const TRestriction& restriction = wb.Restriction();
  const int width = doc.ImageWidth();
  const int rows = doc.ImageHeight();
  const std::ptrdiff_t stride = doc.RowStride();
  std::uint8_t* work = doc.WorkPixels();
  std::uint8_t* clean = doc.CleanPixels();
  const std::uint8_t* before = doc.UndoPixels();
  const std::size_t rowBytes = 3 * static_cast<std::size_t>(width);

  const auto& ws = editor.WriteBack;
  const std::int32_t t = std::clamp(ws.Transparency, 0, TransparencyScale);
  const Limits low = LimitBytes(editor.LowColor);
  const Limits high = LimitBytes(editor.HighColor);
  const bool allOn = ws.ChannelOn[0] && ws.ChannelOn[1] && ws.ChannelOn[2];
  const bool simple = !usesFactors && allOn && ws.PixelVary <= 0 && !restriction.Active();
  // The write-back then gives the computed colour itself: compute straight into the image.
  const bool direct = simple && t == 0 && low == Limits{0, 0, 0} && high == Limits{255, 255, 255};

  std::vector<std::uint8_t> colours(direct ? 0 : 3 * static_cast<std::size_t>(width));
  std::vector<float> factors(static_cast<std::size_t>(width), 1.0f);
  std::vector<std::uint8_t> pass(restriction.Active() ? static_cast<std::size_t>(width) : 0);

  const auto computeRow = [&](int row, std::uint8_t* w) {
    const std::uint8_t* c = before + row * stride;
    if (direct) {
      rowFn(row, before, w, factors.data());
      return;
    }
    rowFn(row, before, colours.data(), factors.data());
    if (simple) {
      WriteSimpleRow(c, colours.data(), w, width, t, low, high);
      return;
    }
    if (restriction.Active()) RestrictRow(restriction, c, width, pass.data());
    TColorRecord colour;
    for (int x = 0; x < width; ++x) {
      std::uint8_t* p = w + 3 * x;
      std::memcpy(p, c + 3 * x, 3);
      if (restriction.Active() && !pass[static_cast<std::size_t>(x)]) continue;
      std::memcpy(colour.PixelBytes.data(), colours.data() + 3 * x, 3);
      colour.Factor = usesFactors ? factors[static_cast<std::size_t>(x)] : 1.0f;
      wb.WriteImagePixel(p, t, colour);
    }
  };
  int committed = 0;
  const bool done = ForEachRow(rows, progress, [&](int row) {
    std::uint8_t* w = work + row * stride;
    computeRow(row, w);
    std::memcpy(clean + row * stride, w, rowBytes);
    committed = row + 1;
  });
  for (int row = committed; row < rows; ++row)
    std::memcpy(clean + row * stride, work + row * stride, rowBytes);
  return done ? TApplyOutcome::Completed : TApplyOutcome::Stopped;
}

TApplyOutcome ApplyAdjust(TDocument& doc, const TEditorState& editor,
                          const TAdjustParams& params, IProgress& progress) {
  if (!doc.HasDocument()) return TApplyOutcome::NoDocument;
  const TAdjuster adjuster(params, LimitBytes(editor.LowColor), LimitBytes(editor.HighColor));
  const std::ptrdiff_t stride = doc.RowStride();
  const int width = doc.ImageWidth();
  return ApplyImageRows(doc, editor, progress, false,
                        [&](int row, const std::uint8_t* before, std::uint8_t* out, float*) {
                          adjuster.Row(before + row * stride, out, width);
                        });
}

void AdjustPixel(TWriteBack& wb, const TAdjuster& adjuster) {
  if (wb.CurMask[AppliedPlane] >= wb.CurMask[StampPlane]) return;
  if (wb.Restriction().Active() && !RestrictionTest(wb.Restriction(), wb.CurClean)) return;
  adjuster.Color(wb.CurClean, wb.BrushColor.PixelBytes.data());
  wb.BrushColor.Factor = 1.0f;
  wb.WriteBrushPixel();
}

PixelRoutine MakeAdjustRoutine(const TAdjustParams& params, const TEditorState& editor) {
  auto adjuster = std::make_shared<const TAdjuster>(params, LimitBytes(editor.LowColor),
                                                    LimitBytes(editor.HighColor));
  return [adjuster](TWriteBack& wb) { AdjustPixel(wb, *adjuster); };
}

}  // namespace korvane
