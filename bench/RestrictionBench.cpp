// The restriction test on every pixel of a 4000 x 3000 image, type by type, against a memcpy of
// the same image in the same run.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#include "app/Dibactions.h"
#include "app/Random.h"
#include "paint/Restrictions.h"

namespace {

korvane::TDib& Image() {
  static korvane::TDib image = [] {
    korvane::TDib dib;
    if (!dib.SetSize(4000, 3000)) std::abort();
    // Noise, so that no test's outcome is predictable from pixel to pixel.
    korvane::RandomSeed(42);
    for (std::size_t i = 0; i < dib.ByteSize(); ++i)
      dib.Rows()[i] = static_cast<std::uint8_t>(korvane::RandomInt());
    return dib;
  }();
  return image;
}

void BM_RestrictMemcpy(benchmark::State& state) {
  const korvane::TDib& image = Image();
  std::vector<std::uint8_t> target(image.ByteSize());
  for (auto _ : state) {
    std::memcpy(target.data(), image.Rows(), image.ByteSize());
    benchmark::ClobberMemory();
  }
}

// arg: restriction type. Counts the pixels that pass, with the type dispatched once per run.
void BM_RestrictionTest(benchmark::State& state) {
  const korvane::TDib& image = Image();
  korvane::TRestrictSettings settings;
  settings.RestrictType = static_cast<int>(state.range(0));
  settings.RestrictEpsilon = 20;
  settings.RestrictLow = korvane::RGBColor(40, 60, 80);
  settings.RestrictHigh = korvane::RGBColor(200, 180, 220);
  const korvane::TRestriction r =
      korvane::MakeRestriction(settings, korvane::RGBColor(100, 150, 200), korvane::clBlack);
  std::int64_t passed = 0;
  for (auto _ : state) {
    passed = korvane::WithRestrictionTest(r, [&image](auto test) {
      std::int64_t n = 0;
      for (int row = 0; row < image.Height(); ++row) {
        const std::uint8_t* p = image.Row(row);
        for (int x = 0; x < image.Width(); ++x, p += 3) n += test(p);
      }
      return n;
    });
    benchmark::DoNotOptimize(passed);
  }
  state.counters["passed"] = static_cast<double>(passed);
}

// arg: restriction type. The row helper: a 0/1 byte per pixel, the type dispatched per row.
void BM_RestrictRow(benchmark::State& state) {
  const korvane::TDib& image = Image();
  korvane::TRestrictSettings settings;
  settings.RestrictType = static_cast<int>(state.range(0));
  settings.RestrictEpsilon = 20;
  settings.RestrictLow = korvane::RGBColor(40, 60, 80);
  settings.RestrictHigh = korvane::RGBColor(200, 180, 220);
  const korvane::TRestriction r =
      korvane::MakeRestriction(settings, korvane::RGBColor(100, 150, 200), korvane::clBlack);
  std::vector<std::uint8_t> pass(static_cast<std::size_t>(image.Width()));
  std::int64_t passed = 0;
  for (auto _ : state) {
    passed = 0;
    for (int row = 0; row < image.Height(); ++row)
      passed += korvane::RestrictRow(r, image.Row(row), image.Width(), pass.data());
    benchmark::DoNotOptimize(passed);
  }
  state.counters["passed"] = static_cast<double>(passed);
}

}  // namespace

BENCHMARK(BM_RestrictMemcpy)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(BM_RestrictionTest)
    ->DenseRange(0, 16)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);
BENCHMARK(BM_RestrictRow)
    ->DenseRange(0, 16)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);
