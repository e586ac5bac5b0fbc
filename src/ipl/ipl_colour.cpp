// Colour twists, histograms, contrast stretch, equalization and the bitwise and scaling point
// operations. Everything here is exact integer arithmetic; the per-value mappings become byte
// tables for ApplyTables.
#include <opencv2/core.hpp>

#include <algorithm>
#include <array>
#include <cstdint>
#include <exception>
#include <new>

#include "ipl/ipl.h"
#include "ipl/ipl_internal.h"

using namespace ipl_internal;

namespace {

constexpr int kMaxTwistScaling = 62;

// Copies for overlapping regions may fail to allocate; that becomes a status, not an exception.
template <typename F>
void Guarded(const char* function, F&& body) {
  try {
    body();
  } catch (const std::exception&) {
    Fail(IPL_StsNoMem, function, "out of memory");
  }
}

void Tables(IplImage* src, IplImage* dst, const ChannelTables& tables, const char* function) {
  Guarded(function, [&] { ApplyTables(src, dst, tables, function); });
}

bool CheckPair(const IplImage* src, const IplImage* dst, const char* function) {
  return CheckImage(src, function) && CheckImage(dst, function) &&
         CheckSameRegion(src, dst, function);
}

// Element-wise work may run in place on identical layouts; a region shifted against its
// destination in the same memory would read bytes already written.
cv::Mat SafeSource(const IplImage* src, const IplImage* dst) {
  cv::Mat s = RegionMat(src);
  if (!RegionsOverlap(src, dst)) return s;
  const cv::Mat d = RegionMat(dst);
  if (s.data == d.data && s.step == d.step && s.elemSize() == d.elemSize()) return s;
  return s.clone();
}

ChannelTables IdentityTables() {
  ChannelTables tables;
  for (auto& table : tables)
    for (int v = 0; v < 256; ++v) table[v] = static_cast<std::uint8_t>(v);
  return tables;
}

ChannelTables SameTable(int (*map)(int v, int value), int value) {
  ChannelTables tables;
  for (auto& table : tables)
    for (int v = 0; v < 256; ++v) table[v] = Saturate(map(v, value));
  return tables;
}

// Channels a call with `channel` (-1 for all) works on.
struct ChannelRange {
  int first;
  int last;
};

ChannelRange Channels(int channel, int nChannels) {
  return channel < 0 ? ChannelRange{0, nChannels - 1} : ChannelRange{channel, channel};
}

// A usable table: keys strictly ascending, arrays present; interpolation known when asked.
bool CheckLut(const IplLUT* lut, bool needInterpolation, const char* function) {
  if (!lut || !lut->key || !lut->value) {
    Fail(IPL_StsBadArg, function, "missing look-up table");
    return false;
  }
  if (lut->num < 2) {
    Fail(IPL_StsBadArg, function, "a look-up table needs at least two keys");
    return false;
  }
  for (int i = 0; i + 1 < lut->num; ++i) {
    if (lut->key[i] >= lut->key[i + 1]) {
      Fail(IPL_StsBadArg, function, "look-up table keys not ascending");
      return false;
    }
  }
  if (needInterpolation && lut->interpolateType != IPL_LUT_LOOKUP &&
      lut->interpolateType != IPL_LUT_INTER) {
    Fail(IPL_StsBadArg, function, "unknown look-up table interpolation");
    return false;
  }
  return true;
}

bool CheckLuts(IplLUT** luts, ChannelRange range, bool needInterpolation, const char* function) {
  if (!luts) {
    Fail(IPL_StsNullPtr, function, "null look-up table array");
    return false;
  }
  for (int c = range.first; c <= range.last; ++c)
    if (!CheckLut(luts[c], needInterpolation, function)) return false;
  return true;
}

// The byte values of bin i, [key[i], key[i + 1]) cut to 0..255, as [first, end).
struct ValueRange {
  int first;
  int end;
};

ValueRange BinValues(const IplLUT& lut, int i) {
  const int first = std::clamp(lut.key[i], 0, 256);
  const int end = std::clamp(lut.key[i + 1], first, 256);
  return {first, end};
}

long long FloorDiv(long long a, long long b) {
  const long long q = a / b;
  return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}

}  // namespace

// --- colour -------------------------------------------------------------------------------------

IplColorTwist* iplCreateColorTwist(const int data[16], int scalingValue) {
  constexpr const char* kFn = "iplCreateColorTwist";
  if (!data) {
    Fail(IPL_StsNullPtr, kFn, "null twist data");
    return nullptr;
  }
  if (scalingValue < 0 || scalingValue > kMaxTwistScaling) {
    Fail(IPL_StsBadArg, kFn, "scaling out of range 0..62");
    return nullptr;
  }
  auto* twist = new (std::nothrow) IplColorTwist{};
  if (!twist) {
    Fail(IPL_StsNoMem, kFn, "out of memory");
    return nullptr;
  }
  std::copy(data, data + 16, twist->data);
  twist->scalingValue = scalingValue;
  return twist;
}

void iplApplyColorTwist(IplImage* src, IplImage* dst, IplColorTwist* cTwist, int offset) {
  constexpr const char* kFn = "iplApplyColorTwist";
  if (!CheckPair(src, dst, kFn)) return;
  if (!cTwist) {
    Fail(IPL_StsNullPtr, kFn, "null twist");
    return;
  }
  if (cTwist->scalingValue < 0 || cTwist->scalingValue > kMaxTwistScaling) {
    Fail(IPL_StsBadArg, kFn, "scaling out of range 0..62");
    return;
  }
  if (src->nChannels < 3 || dst->nChannels != src->nChannels) {
    Fail(IPL_StsBadArg, kFn, "a twist needs images of three or four channels");
    return;
  }
  cv::Mat s;
  Guarded(kFn, [&] { s = SafeSource(src, dst); });
  if (s.empty()) return;
  cv::Mat d = RegionMat(dst);
  const int n = src->nChannels;
  const ChannelRange range = Channels(SelectedChannel(src, dst), n);
  const int shift = cTwist->scalingValue;

  // weight[c][k][v] = data[4c + k] * v: three look-ups and adds per channel and pixel.
  std::array<std::array<std::array<long long, 256>, 3>, 3> weight;
  std::array<long long, 3> constant{};
  for (int c = 0; c < 3; ++c) {
    for (int k = 0; k < 3; ++k)
      for (int v = 0; v < 256; ++v)
        weight[c][k][v] = static_cast<long long>(cTwist->data[4 * c + k]) * v;
    constant[c] = cTwist->data[4 * c + 3];
  }
  const int lastTwisted = std::min(range.last, 2);
  const bool copyFourth = range.last == 3;
  for (int j = 0; j < s.rows; ++j) {
    const unsigned char* sp = s.ptr<unsigned char>(j);
    unsigned char* dp = d.ptr<unsigned char>(j);
    for (int i = 0; i < s.cols; ++i, sp += n, dp += n) {
      const unsigned char in0 = sp[0], in1 = sp[1], in2 = sp[2];
      std::array<std::uint8_t, 3> out{};
      for (int c = range.first; c <= lastTwisted; ++c) {
        const long long sum =
            weight[c][0][in0] + weight[c][1][in1] + weight[c][2][in2] + constant[c];
        out[c] = Saturate((sum >> shift) + offset);
      }
      for (int c = range.first; c <= lastTwisted; ++c) dp[c] = out[c];
      if (copyFourth) dp[3] = sp[3];
    }
  }
}

void iplDeleteColorTwist(IplColorTwist* cTwist) {
  delete cTwist;
}

void iplComputeHisto(IplImage* src, IplLUT** luts) {
  constexpr const char* kFn = "iplComputeHisto";
  if (!CheckImage(src, kFn)) return;
  const int n = src->nChannels;
  const ChannelRange range = Channels(CoiOf(src) - 1, n);
  if (!CheckLuts(luts, range, false, kFn)) return;

  std::array<std::array<long long, 256>, 4> counts{};
  const cv::Mat s = RegionMat(src);
  for (int j = 0; j < s.rows; ++j) {
    const unsigned char* p = s.ptr<unsigned char>(j);
    for (int i = 0; i < s.cols; ++i, p += n)
      for (int c = range.first; c <= range.last; ++c) ++counts[c][p[c]];
  }
  for (int c = range.first; c <= range.last; ++c) {
    IplLUT& lut = *luts[c];
    for (int i = 0; i + 1 < lut.num; ++i) {
      const ValueRange values = BinValues(lut, i);
      long long total = 0;
      for (int v = values.first; v < values.end; ++v) total += counts[c][v];
      lut.value[i] = static_cast<int>(total);
    }
  }
}

void iplContrastStretch(IplImage* src, IplImage* dst, IplLUT** luts) {
  constexpr const char* kFn = "iplContrastStretch";
  if (!CheckPair(src, dst, kFn)) return;
  const ChannelRange range = Channels(SelectedChannel(src, dst), src->nChannels);
  if (!CheckLuts(luts, range, true, kFn)) return;

  ChannelTables tables = IdentityTables();
  for (int c = range.first; c <= range.last; ++c) {
    const IplLUT& lut = *luts[c];
    const int bins = lut.num - 1;
    for (int i = 0; i < bins; ++i) {
      const ValueRange values = BinValues(lut, i);
      const long long from = lut.value[i];
      // The last bin has no next value to head for.
      const long long to = i + 1 < bins ? lut.value[i + 1] : from;
      const long long width = static_cast<long long>(lut.key[i + 1]) - lut.key[i];
      for (int v = values.first; v < values.end; ++v) {
        long long out = from;
        if (lut.interpolateType == IPL_LUT_INTER) {
          // Rounded to nearest, halves upwards.
          const long long num = (to - from) * (v - static_cast<long long>(lut.key[i]));
          out = from + FloorDiv(2 * num + width, 2 * width);
        }
        tables[c][v] = Saturate(out);
      }
    }
  }
  Tables(src, dst, tables, kFn);
}

void iplHistoEqualize(IplImage* src, IplImage* dst, IplLUT** luts) {
  constexpr const char* kFn = "iplHistoEqualize";
  if (!CheckPair(src, dst, kFn)) return;
  const ChannelRange range = Channels(SelectedChannel(src, dst), src->nChannels);
  if (!CheckLuts(luts, range, false, kFn)) return;
  // Counts are non-negative and their total leaves room for 255 * 2 * total in 64 bits.
  constexpr long long kMaxTotal = 1LL << 52;
  for (int c = range.first; c <= range.last; ++c) {
    long long total = 0;
    for (int i = 0; i + 1 < luts[c]->num; ++i) {
      if (luts[c]->value[i] < 0) {
        Fail(IPL_StsBadArg, kFn, "negative histogram count");
        return;
      }
      total += luts[c]->value[i];
    }
    if (total > kMaxTotal) {
      Fail(IPL_StsBadArg, kFn, "histogram counts too large");
      return;
    }
  }

  ChannelTables tables = IdentityTables();
  for (int c = range.first; c <= range.last; ++c) {
    const IplLUT& lut = *luts[c];
    long long total = 0;
    for (int i = 0; i + 1 < lut.num; ++i) total += lut.value[i];
    if (total == 0) continue;
    long long before = 0;
    for (int i = 0; i + 1 < lut.num; ++i) {
      // Each bin goes to the middle of its share of the cumulative distribution:
      // floor(255 * (before + h / 2) / total + 1 / 2).
      const long long h = lut.value[i];
      const long long out = (255 * (2 * before + h) + total) / (2 * total);
      const ValueRange values = BinValues(lut, i);
      for (int v = values.first; v < values.end; ++v) tables[c][v] = Saturate(out);
      before += h;
    }
  }
  Tables(src, dst, tables, kFn);
}

void iplXorS(IplImage* src, IplImage* dst, unsigned int value) {
  Tables(src, dst, SameTable([](int v, int x) { return v ^ x; }, static_cast<int>(value & 0xFFu)),
         "iplXorS");
}

void iplXor(IplImage* srcA, IplImage* srcB, IplImage* dst) {
  constexpr const char* kFn = "iplXor";
  if (!CheckImage(srcA, kFn) || !CheckImage(srcB, kFn) || !CheckImage(dst, kFn) ||
      !CheckSameRegion(srcA, srcB, kFn) || !CheckSameRegion(srcA, dst, kFn))
    return;
  const int channel = CoiOf(srcA) ? CoiOf(srcA) - 1 : SelectedChannel(srcB, dst);
  if (channel >= srcA->nChannels || channel >= srcB->nChannels || channel >= dst->nChannels ||
      (channel < 0 && srcB->nChannels != dst->nChannels)) {
    Fail(IPL_StsBadArg, kFn, "channel counts do not match");
    return;
  }
  if (RegionOf(dst).Empty()) return;
  Guarded(kFn, [&] {
    if (channel < 0) {
      const cv::Mat a = SafeSource(srcA, dst);
      const cv::Mat b = SafeSource(srcB, dst);
      cv::Mat d = RegionMat(dst);
      cv::bitwise_xor(a, b, d);
      return;
    }
    cv::Mat a;
    cv::Mat b;
    cv::extractChannel(RegionMat(srcA), a, channel);
    cv::extractChannel(RegionMat(srcB), b, channel);
    cv::bitwise_xor(a, b, a);
    StoreRegion(a, dst, channel);
  });
}

void iplMultiplySScale(IplImage* src, IplImage* dst, int value) {
  const int scale = std::clamp(value, 0, 255);
  Tables(src, dst, SameTable([](int v, int s) { return v * s / 255; }, scale), "iplMultiplySScale");
}
