// Colour restrictions: which pixels an operation may change, judged by the pixel's colour in the
// image as it was before the operation. Pixels are 3 bytes in memory order blue, green, red.
//
// An operation takes a TRestriction snapshot when it starts and asks it per pixel. The type is
// a template parameter of the per-pixel tests, so a loop can pick its test once per operation
// (WithRestrictionTest) or per row (RestrictRow) instead of switching on every pixel.
#pragma once

#include <array>
#include <cstdint>

#include "app/Dibactions.h"
#include "app/Random.h"

namespace korvane {

struct TEditorState;

enum TRestrictType : int {
  RestrictNone = 0,
  RestrictMaxAbove = 1,   // MAX(R,G,B) > epsilon
  RestrictMinBelow = 2,   // MIN(R,G,B) < epsilon
  RestrictForeColor = 3,  // every channel within epsilon of the foreground colour
  RestrictGrey = 4,       // R = G = B within epsilon
  RestrictRedMax = 5,
  RestrictRedMid = 6,
  RestrictRedMin = 7,
  RestrictGreenMax = 8,
  RestrictGreenMid = 9,
  RestrictGreenMin = 10,
  RestrictBlueMax = 11,
  RestrictBlueMid = 12,
  RestrictBlueMin = 13,
  RestrictRandom = 14,     // half of the pixels, at random
  RestrictBackColor = 15,  // every channel within epsilon of the background colour
  RestrictRange = 16,      // every channel between RestrictLow's and RestrictHigh's
};

inline constexpr int kRestrictTypeCount = 17;
inline constexpr int kMinRestrictType = RestrictNone;
inline constexpr int kMaxRestrictType = RestrictRange;
inline constexpr int kDefaultRestrictType = RestrictNone;
inline constexpr int kMinRestrictEpsilon = 0;
inline constexpr int kMaxRestrictEpsilon = 128;
inline constexpr int kDefaultRestrictEpsilon = 0;
// Black to white, the range the dialog's two shapes show before any choice: every pixel.
inline constexpr TColor kDefaultRestrictLow = clBlack;
inline constexpr TColor kDefaultRestrictHigh = clWhite;

inline constexpr const char* kRestrictSection = "Restrict";
inline constexpr const char* kRestrictTypeKey = "Index";
inline constexpr const char* kRestrictEpsilonKey = "Epsylon";

// The live settings the dialog edits. Type and epsilon persist; the range colours last for the
// run only.
struct TRestrictSettings {
  int RestrictType = kDefaultRestrictType;
  int RestrictEpsilon = kDefaultRestrictEpsilon;
  TColor RestrictLow = kDefaultRestrictLow;
  TColor RestrictHigh = kDefaultRestrictHigh;

  bool Active() const { return RestrictType > RestrictNone; }
  friend bool operator==(const TRestrictSettings&, const TRestrictSettings&) = default;
};

// Values from outside (the registry): a type that names no condition becomes the default, an
// epsilon is clamped into its range.
int ClampRestrictType(int type);
int ClampRestrictEpsilon(int epsilon);

// What an operation tests against, copied when it starts. Reference bytes in pixel order.
// Low and High are ordered per channel: two colours picked one after the other need not have
// every channel of the first below the second, and a crossed channel would admit nothing.
struct TRestriction {
  int Type = RestrictNone;
  int Epsilon = 0;
  std::array<std::uint8_t, 3> Reference{};  // the foreground (3) or background (15) colour
  std::array<std::uint8_t, 3> Low{};
  std::array<std::uint8_t, 3> High{255, 255, 255};

  bool Active() const { return Type > RestrictNone; }
};

TRestriction MakeRestriction(const TRestrictSettings& settings, TColor foreColor,
                             TColor backColor);
// The editor's restriction with its current foreground and background colours.
TRestriction MakeRestriction(const TEditorState& editor);

namespace restrict_detail {

inline int Abs(int v) { return v < 0 ? -v : v; }

// Channel c is the maximum (rank 0), the middle (1) or the minimum (2) and differs from each
// of the two others by more than e. The differences being strict make c's rank unique, so this
// equals the index rule (first of ties for maximum and minimum, none for a grey middle).
template <int C, int Rank>
inline bool ChannelRank(const std::uint8_t* p, int e) {
  constexpr int A = C == 0 ? 1 : 0;
  constexpr int B = C == 2 ? 1 : 2;
  const int da = int{p[C]} - int{p[A]};
  const int db = int{p[C]} - int{p[B]};
  if constexpr (Rank == 0) {
    return (da > e) & (db > e);
  } else if constexpr (Rank == 2) {
    return (-da > e) & (-db > e);
  } else {
    return ((da > e) & (-db > e)) | ((-da > e) & (db > e));
  }
}

// |p[k] - ref[k]| <= e for all three channels; e >= 0.
inline bool NearColour(const std::uint8_t* p, const std::array<std::uint8_t, 3>& ref, int e) {
  const auto within = [e](int v, int r) {
    return static_cast<unsigned>(v - r + e) <= static_cast<unsigned>(2 * e);
  };
  return within(p[0], ref[0]) & within(p[1], ref[1]) & within(p[2], ref[2]);
}

}  // namespace restrict_detail

// The test of one type; `r.Type` is not read. True means the pixel may be changed.
template <int Type>
inline bool RestrictionTestOf(const TRestriction& r, const std::uint8_t* p) {
  using namespace restrict_detail;
  const int e = r.Epsilon;
  if constexpr (Type == RestrictNone) {
    return true;
  } else if constexpr (Type == RestrictMaxAbove) {
    return (p[0] > e) | (p[1] > e) | (p[2] > e);
  } else if constexpr (Type == RestrictMinBelow) {
    return (p[0] < e) | (p[1] < e) | (p[2] < e);
  } else if constexpr (Type == RestrictForeColor || Type == RestrictBackColor) {
    return NearColour(p, r.Reference, e);
  } else if constexpr (Type == RestrictGrey) {
    return (Abs(p[0] - p[1]) <= e) & (Abs(p[0] - p[2]) <= e) & (Abs(p[1] - p[2]) <= e);
  } else if constexpr (Type >= RestrictRedMax && Type <= RestrictBlueMin) {
    // Red, green, blue in the table; memory indices 2, 1, 0.
    constexpr int channel = 2 - (Type - RestrictRedMax) / 3;
    return ChannelRank<channel, (Type - RestrictRedMax) % 3>(p, e);
  } else if constexpr (Type == RestrictRandom) {
    return (RandomInt() & 1) != 0;
  } else if constexpr (Type == RestrictRange) {
    return (r.Low[0] <= p[0]) & (p[0] <= r.High[0]) & (r.Low[1] <= p[1]) & (p[1] <= r.High[1]) &
           (r.Low[2] <= p[2]) & (p[2] <= r.High[2]);
  } else {
    static_assert(Type >= 0 && Type < kRestrictTypeCount, "no such restriction type");
    return true;
  }
}

// The per-pixel test of one type as a callable, for loops that dispatch once.
template <int Type>
struct TRestrictionTest {
  const TRestriction& R;
  static constexpr int kType = Type;
  bool operator()(const std::uint8_t* p) const { return RestrictionTestOf<Type>(R, p); }
};

// Calls f(test) with the TRestrictionTest of r's type; a type outside 0..16 tests as none.
template <class F>
decltype(auto) WithRestrictionTest(const TRestriction& r, F&& f) {
  switch (r.Type) {
    case 1: return f(TRestrictionTest<1>{r});
    case 2: return f(TRestrictionTest<2>{r});
    case 3: return f(TRestrictionTest<3>{r});
    case 4: return f(TRestrictionTest<4>{r});
    case 5: return f(TRestrictionTest<5>{r});
    case 6: return f(TRestrictionTest<6>{r});
    case 7: return f(TRestrictionTest<7>{r});
    case 8: return f(TRestrictionTest<8>{r});
    case 9: return f(TRestrictionTest<9>{r});
    case 10: return f(TRestrictionTest<10>{r});
    case 11: return f(TRestrictionTest<11>{r});
    case 12: return f(TRestrictionTest<12>{r});
    case 13: return f(TRestrictionTest<13>{r});
    case 14: return f(TRestrictionTest<14>{r});
    case 15: return f(TRestrictionTest<15>{r});
    case 16: return f(TRestrictionTest<16>{r});
    default: return f(TRestrictionTest<0>{r});
  }
}

// One pixel, switching on the type: for callers that test a pixel here and there (a brush's
// pixel routine). Loops over many pixels should use WithRestrictionTest or RestrictRow.
inline bool RestrictionTest(const TRestriction& r, const std::uint8_t* p) {
  return WithRestrictionTest(r, [p](auto test) { return test(p); });
}

// Tests `width` pixels from `row` and writes 1 (may change) or 0 into pass[0 .. width-1];
// answers how many passed.
int RestrictRow(const TRestriction& r, const std::uint8_t* row, int width, std::uint8_t* pass);

}  // namespace korvane
