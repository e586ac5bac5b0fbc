#include "paint/Restrictions.h"

#include <algorithm>

#include "app/EditorState.h"

namespace korvane {

namespace {

std::array<std::uint8_t, 3> PixelOrder(TColor c) { return {BlueOf(c), GreenOf(c), RedOf(c)}; }

template <class Test>
int TestRow(Test test, const std::uint8_t* row, int width, std::uint8_t* pass) {
  int passed = 0;
  for (int x = 0; x < width; ++x) {
    const bool ok = test(row + 3 * x);
    pass[x] = static_cast<std::uint8_t>(ok);
    passed += ok;
  }
  return passed;
}

#if defined(__GNUC__) && defined(__x86_64__)
// Loads with a stride of three bytes vectorise only with SSSE3's byte shuffle, which baseline
// x86-64 lacks; the same loop compiled for it runs several times faster where the CPU has it.
template <class Test>
__attribute__((target("ssse3"))) int TestRowShuffled(Test test, const std::uint8_t* row,
                                                     int width, std::uint8_t* pass) {
  int passed = 0;
  for (int x = 0; x < width; ++x) {
    const bool ok = test(row + 3 * x);
    pass[x] = static_cast<std::uint8_t>(ok);
    passed += ok;
  }
  return passed;
}

bool HasByteShuffle() {
  static const bool has = __builtin_cpu_supports("ssse3");
  return has;
}
#endif

}  // namespace

int ClampRestrictType(int type) {
  return type >= kMinRestrictType && type <= kMaxRestrictType ? type : kDefaultRestrictType;
}

int ClampRestrictEpsilon(int epsilon) {
  return std::clamp(epsilon, kMinRestrictEpsilon, kMaxRestrictEpsilon);
}

TRestriction MakeRestriction(const TRestrictSettings& settings, TColor foreColor,
                             TColor backColor) {
  TRestriction r;
  r.Type = ClampRestrictType(settings.RestrictType);
  r.Epsilon = ClampRestrictEpsilon(settings.RestrictEpsilon);
  r.Reference = PixelOrder(r.Type == RestrictBackColor ? backColor : foreColor);
  const auto low = PixelOrder(settings.RestrictLow);
  const auto high = PixelOrder(settings.RestrictHigh);
  for (std::size_t k = 0; k < 3; ++k) {
    r.Low[k] = std::min(low[k], high[k]);
    r.High[k] = std::max(low[k], high[k]);
  }
  return r;
}

TRestriction MakeRestriction(const TEditorState& editor) {
  return MakeRestriction(editor.Restrict, editor.ForeColor.Color, editor.BackColor.Color);
}

int RestrictRow(const TRestriction& r, const std::uint8_t* row, int width, std::uint8_t* pass) {
#if defined(__GNUC__) && defined(__x86_64__)
  if (HasByteShuffle())
    return WithRestrictionTest(r,
                               [&](auto test) { return TestRowShuffled(test, row, width, pass); });
#endif
  return WithRestrictionTest(r, [&](auto test) { return TestRow(test, row, width, pass); });
}

}  // namespace korvane
