#include "colour/Writeback.h"

#include <algorithm>
#include <cmath>

#include "app/Document.h"
#include "app/Random.h"

namespace korvane {

namespace {

constexpr std::int64_t kScale = TransparencyScale;

std::int64_t Weighted(std::int64_t value, std::int64_t weight) {
  return (value * weight) >> TransparencyShift;  // arithmetic: toward minus infinity
}

std::int64_t ApplyFactor(std::int64_t v, float factor) {
  return factor != 1.0f ? static_cast<std::int64_t>(static_cast<double>(v) * factor) : v;
}

// Every channel on, no variation, no restriction, limits 0..255: a plain weighted mix that the
// compiler can vectorise, in 32 bits (the two weights sum to 2^22 and bytes are below 2^8).
// Built for AVX2 as well, where the 32-bit multiplies are native; the plain build stays for
// machines without it.
__attribute__((target_clones("avx2", "default"))) void BlendRowFast(std::uint8_t* o,
                                                                    const std::uint8_t* p,
                                                                    int bytes,
                                                                    std::uint32_t weightO) {
  const std::uint32_t weightP = static_cast<std::uint32_t>(kScale) - weightO;
  for (int i = 0; i < bytes; ++i)
    o[i] = static_cast<std::uint8_t>((p[i] * weightP + o[i] * weightO) >> TransparencyShift);
}

}  // namespace

std::int32_t TWriteBackSettings::TransparencyFromPercent(int percent) {
  return static_cast<std::int32_t>(std::clamp(percent, 0, 100) * 0.01 * TransparencyScale);
}

std::uint8_t WrapToLimits(std::int64_t v, std::uint8_t lo, std::uint8_t hi) {
  if (lo >= hi) return 0;
  const std::int64_t d = hi - lo;
  if (v > hi) v = lo + (v - hi) % d;
  if (v < lo) v = hi - (lo - v) % d;
  return static_cast<std::uint8_t>(v);
}

void JitterColor(TColorRecord& color, int colorVary) {
  if (colorVary <= 0) return;
  const int delta = colorVary - RandomMod(2 * colorVary);
  for (int k = 0; k < 3; ++k)
    color.PixelBytes[static_cast<std::size_t>(k)] =
        ClampToLimits(color.PixelBytes[static_cast<std::size_t>(k)] + delta, 0, 255);
  // The record's colour follows its bytes; the factor stays.
  color.Color = (static_cast<TColor>(color.PixelBytes[0]) << 16) |
                (static_cast<TColor>(color.PixelBytes[1]) << 8) | color.PixelBytes[2];
}

TWriteBack::TWriteBack(const TEditorState& editor)
    : BrushColor(editor.ForeColor),
      channelOn_(editor.WriteBack.ChannelOn),
      transparency_(std::clamp(editor.WriteBack.Transparency, 0, TransparencyScale)),
      pixelVary_(std::clamp(editor.WriteBack.PixelVary, 0, kMaxPixelVary)),
      restriction_(MakeRestriction(editor)),
      capacity_(editor.Brush.Capacity),
      chalkDivisor_(editor.Brush.ChalkDivisor),
      invertIntensity_(editor.Brush.InvertIntensity),
      bumpStamp_(editor.Brush.BumpStamp),
      // A scale of 0 has no meaning of its own; both its neighbours, 1 and -1, give d.
      bumpScale_(editor.Brush.BumpScale == 0 ? 1 : editor.Brush.BumpScale),
      bumpLimit_(editor.Brush.BumpLimit),
      bumpRoughness_(editor.Brush.BumpRoughness),
      bumpOffsetX_(editor.Brush.BumpOffsetX),
      bumpOffsetY_(editor.Brush.BumpOffsetY) {
  for (int k = 0; k < 3; ++k) {
    low_[static_cast<std::size_t>(k)] = editor.LowColor.PixelBytes[static_cast<std::size_t>(k)];
    high_[static_cast<std::size_t>(k)] = editor.HighColor.PixelBytes[static_cast<std::size_t>(k)];
  }
}

TWriteBack::TWriteBack(const TEditorState& editor, TDocument& doc) : TWriteBack(editor) {
  work_ = doc.WorkPixels();
  clean_ = doc.CleanPixels();
  mask_ = doc.MaskPixels();
  width_ = doc.ImageWidth();
  height_ = doc.ImageHeight();
  stride_ = doc.RowStride();
}

void TWriteBack::SetCursor(int x, int memoryRow) {
  const std::ptrdiff_t offset = static_cast<std::ptrdiff_t>(memoryRow) * stride_ + 3 * x;
  CurWork = work_ + offset;
  CurClean = clean_ + offset;
  CurMask = mask_ + offset;
  CurX = x;
  CurY = memoryRow;
}

int TWriteBack::PixelVariation() const {
  return pixelVary_ == 0 ? 0 : pixelVary_ - RandomMod(2 * pixelVary_);
}

bool TWriteBack::ChalkPass() const {
  return chalkDivisor_ == 0 || RandomMod(chalkDivisor_) > 0;
}

void TWriteBack::BumpOffset(int strength, int weight) {
  const int x = std::clamp(CurX - bumpOffsetX_, 0, std::max(0, width_ - 1));
  const int y = std::clamp(CurY - bumpOffsetY_, 0, std::max(0, height_ - 1));
  const int m = mask_ ? mask_[static_cast<std::ptrdiff_t>(y) * stride_ + 3 * x + StampPlane] : 0;
  const double d = invertIntensity_ ? m - strength : strength - m;
  double e = bumpScale_ > 0 ? bumpScale_ * d : d / std::abs(bumpScale_);
  if (bumpRoughness_ > 0) e += bumpRoughness_ - RandomMod(2 * bumpRoughness_);
  BumpAdd = static_cast<int>(std::clamp(e, -255.0, 255.0));
  const int level = invertIntensity_ ? 255 - m : m;
  BumpWeight = level > bumpLimit_ ? 256 : weight;
}

std::int64_t TWriteBack::StrokeWeight(int strength, int& bumpAdd) {
  std::int64_t w = invertIntensity_ ? 256 - strength : strength + 1;
  bumpAdd = 0;
  if (bumpStamp_) {
    BumpOffset(strength, static_cast<int>(w));
    bumpAdd = BumpAdd;
    w = BumpWeight;
  }
  return (w * capacity_) >> 8;
}

void TWriteBack::WriteBrushPixel() {
  const int s = CurMask[StampPlane];
  if (CurMask[AppliedPlane] >= s) return;  // already as strong, or stronger
  const int v = PixelVariation();
  const bool chalk = ChalkPass();
  int e = 0;
  const std::int64_t w = StrokeWeight(s, e);
  for (int k = 0; k < 3; ++k) {
    if (!channelOn_[static_cast<std::size_t>(k)]) continue;
    if (!chalk) {
      CurWork[k] = CurClean[k];
      continue;
    }
    std::int64_t a = Weighted(BrushColor.PixelBytes[static_cast<std::size_t>(k)] + e + v, w);
    const std::int64_t b = Weighted(CurClean[k], kScale - w);
    a = ApplyFactor(a, BrushColor.Factor);
    CurWork[k] = ClampToLimits(a + b, Low(k), High(k));
  }
  CurMask[AppliedPlane] = static_cast<std::uint8_t>(s);
}

void TWriteBack::SmudgePixel() {
  const int s = CurMask[StampPlane];
  if (CurMask[AppliedPlane] >= s) return;
  const int v = PixelVariation();
  const bool chalk = ChalkPass();
  int e = 0;
  const std::int64_t w = StrokeWeight(s, e);
  for (int k = 0; k < 3; ++k) {
    if (!channelOn_[static_cast<std::size_t>(k)] || !chalk) continue;
    std::int64_t a = Weighted(CurClean[k] + e + v, w);
    const std::int64_t b = Weighted(CurWork[k], kScale - w);
    a = ApplyFactor(a, BrushColor.Factor);
    CurWork[k] = ClampToLimits(a + b, Low(k), High(k));
  }
  CurMask[AppliedPlane] = static_cast<std::uint8_t>(s);
}

void TWriteBack::WriteBrushMix(bool solid, const std::uint8_t* second) {
  const int s = CurMask[StampPlane];
  if (CurMask[AppliedPlane] >= s) return;
  const int v = PixelVariation();
  const bool chalk = ChalkPass();
  const std::int64_t weight = invertIntensity_ ? 256 - s : s + 1;
  std::int64_t w1 = weight;
  int e = 0;
  if (bumpStamp_) {
    BumpOffset(s, static_cast<int>(weight));
    e = BumpAdd;
    w1 = BumpWeight;
  }
  const std::int64_t w0 = (weight * capacity_) >> 8;
  w1 = (w1 * capacity_) >> 8;
  for (int k = 0; k < 3; ++k) {
    if (!channelOn_[static_cast<std::size_t>(k)]) continue;
    if (!chalk) {
      CurWork[k] = CurClean[k];
      continue;
    }
    std::int64_t m =
        ((second[k] * (kScale - w0) + BrushColor.PixelBytes[static_cast<std::size_t>(k)] * w0) >>
         TransparencyShift) +
        e + v;
    std::int64_t b = 0;
    if (!solid) {
      m = Weighted(m, w1);
      b = Weighted(CurClean[k], kScale - w1);
    }
    m = ApplyFactor(m, BrushColor.Factor);
    CurWork[k] = ClampToLimits(m + b, Low(k), High(k));
  }
  CurMask[AppliedPlane] = static_cast<std::uint8_t>(s);
}

void TWriteBack::WriteImagePixel(std::uint8_t* p, std::int32_t weight,
                                 const TColorRecord& color) const {
  const int v = PixelVariation();
  for (int k = 0; k < 3; ++k) {
    if (!channelOn_[static_cast<std::size_t>(k)]) continue;
    const std::int64_t a = Weighted(p[k], weight);
    std::int64_t b = Weighted(color.PixelBytes[static_cast<std::size_t>(k)] + v, kScale - weight);
    b = ApplyFactor(b, color.Factor);
    p[k] = ClampToLimits(a + b, Low(k), High(k));
  }
}

bool TWriteBack::NeedsBlend() const {
  return transparency_ > 0 || !(channelOn_[0] && channelOn_[1] && channelOn_[2]) ||
         pixelVary_ > 0 || restriction_.Active();
}

bool TWriteBack::BlendProcessedImage(TDib& original, const TDib& processed, std::int32_t weight,
                                     IProgress& progress) const {
  if (original.Empty() || original.Width() != processed.Width() ||
      original.Height() != processed.Height() ||
      original.PixelFormat() != TPixelFormat::pf24bit ||
      processed.PixelFormat() != TPixelFormat::pf24bit)
    return false;
  weight = std::clamp(weight, 0, TransparencyScale);
  const int rows = original.Height();
  const int width = original.Width();
  const bool fast = channelOn_[0] && channelOn_[1] && channelOn_[2] && pixelVary_ == 0 &&
                    !restriction_.Active() && low_ == std::array<std::uint8_t, 3>{0, 0, 0} &&
                    high_ == std::array<std::uint8_t, 3>{255, 255, 255};
  for (int row = 0; row < rows; ++row) {
    if (progress.ReportProgress(row, rows)) return true;
    std::uint8_t* o = original.Row(row);
    const std::uint8_t* p = processed.Row(row);
    if (fast) {
      BlendRowFast(o, p, 3 * width, static_cast<std::uint32_t>(weight));
      continue;
    }
    const auto blendRow = [&](auto passes) {
      for (int x = 0; x < width; ++x, o += 3, p += 3) {
        if (!passes(o)) continue;
        const int v = PixelVariation();
        for (int k = 0; k < 3; ++k) {
          if (!channelOn_[static_cast<std::size_t>(k)]) continue;
          o[k] = ClampToLimits(((p[k] + v) * (kScale - weight) + std::int64_t{o[k]} * weight) >>
                                   TransparencyShift,
                               Low(k), High(k));
        }
      }
    };
    // The restriction's type is chosen once per row, not per pixel.
    if (restriction_.Active())
      WithRestrictionTest(restriction_, blendRow);
    else
      blendRow([](const std::uint8_t*) { return true; });
  }
  progress.ReportProgress(rows, rows);
  return false;
}

void TWriteBack::PrepareStrokeMask(const TRectI& rect) {
  if (!mask_) return;
  const int x0 = std::max(rect.X, 0), x1 = std::min(rect.X + rect.Width, width_);
  const int y0 = std::max(rect.Y, 0), y1 = std::min(rect.Y + rect.Height, height_);
  for (int y = y0; y < y1; ++y) {
    std::uint8_t* m = mask_ + static_cast<std::ptrdiff_t>(y) * stride_ + 3 * x0;
    for (int x = x0; x < x1; ++x, m += 3) {
      if (invertIntensity_ && m[AppliedPlane] > 0) {
        m[AppliedPlane] = static_cast<std::uint8_t>(255 - m[AppliedPlane]);
        m[StampPlane] = static_cast<std::uint8_t>(255 - m[StampPlane]);
      }
      if (!ChalkPass()) m[AppliedPlane] = m[StampPlane] = 0;
    }
  }
}

}  // namespace korvane
