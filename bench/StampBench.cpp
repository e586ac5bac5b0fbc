// One stamp at a time into the mask of a 1000 x 800 document: the 100-pixel airbrush disc, the
// 100-pixel-wide segment 300 pixels long, with and without the blur, against clearing the same
// box's StampPlane (the least any stamp costs) in the same run.
#include <benchmark/benchmark.h>

#include <cstdlib>

#include "app/Document.h"
#include "paint/Brush.h"
#include "paint/Stamp.h"

namespace {

using namespace korvane;

struct Mask {
  TDib Bitmap;
  TIplHeader Header;
  Mask() {
    if (!Bitmap.SetSize(1000, 800)) std::abort();
    Header = CreateImageHeader(1000, 800, Bitmap.Rows());
  }
  TStampTarget Target() { return {Bitmap, Header.get()}; }
};

BrushSettings Airbrush(bool blur, int kernel) {
  BrushSettings b;
  b.BrushStyle = NeonBrush;
  b.BrushSize = 100;
  b.FalloffPercent = 100;
  b.FalloffStep = ComputeFalloffStep(100, 100);
  b.BlurStamp = blur;
  b.BlurKernel = kernel;
  b.BlurMargin = blur ? kernel + b.BrushSize / 4 : 0;
  return b;
}

// The segment from (350, 250) to (590, 430): 300 pixels long.
TSegmentStamp Segment(int style, std::uint32_t step) {
  TSegmentStamp s;
  s.Style = style;
  s.X1 = 350;
  s.Y1 = 250;
  s.X2 = 590;
  s.Y2 = 430;
  s.Width = 100;
  s.Step = step;
  return s;
}

// arg: the box side. Sets StampPlane to 0 over a square box, one byte a pixel.
void BM_StampClearBox(benchmark::State& state) {
  Mask m;
  const int side = static_cast<int>(state.range(0));
  for (auto _ : state) {
    for (int y = 100; y < 100 + side; ++y) {
      std::uint8_t* p = m.Bitmap.ScanLine(y) + 3 * 100 + StampPlane;
      for (int x = 0; x < side; ++x) p[3 * x] = 0;
    }
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_StampClearBox)->Arg(104)->Arg(316)->Unit(benchmark::kMicrosecond);

// args: 0 the cone of a free-hand circle (one ring count), 1 fifty rings of a 50 % falloff;
// blur kernel (0 for none).
void BM_StampAirbrushDisc(benchmark::State& state) {
  Mask m;
  const int kernel = static_cast<int>(state.range(1));
  const BrushSettings brush = Airbrush(kernel > 0, kernel > 0 ? kernel : 3);
  TDiscStamp disc;
  disc.Style = NeonBrush;
  disc.Cx = 500;
  disc.Cy = 400;
  disc.Radius = 50;
  disc.RingCount = state.range(0) == 0 ? 1 : 100;
  disc.Step = ComputeFalloffStep(50, 50);
  for (auto _ : state) {
    const TRectI box = RenderDiscStamp(m.Target(), brush, disc);
    benchmark::DoNotOptimize(box);
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_StampAirbrushDisc)
    ->Args({0, 0})
    ->Args({1, 0})
    ->Args({0, 3})
    ->Args({0, 9})
    ->Args({1, 3})
    ->Unit(benchmark::kMicrosecond);

// args: style (1 graded, 2 solid), blur kernel (0 for none).
void BM_StampSegment(benchmark::State& state) {
  Mask m;
  const int kernel = static_cast<int>(state.range(1));
  BrushSettings brush = Airbrush(kernel > 0, kernel > 0 ? kernel : 3);
  brush.BrushStyle = static_cast<int>(state.range(0));
  const TSegmentStamp segment = Segment(brush.BrushStyle, brush.FalloffStep);
  for (auto _ : state) {
    const TRectI box = RenderSegmentStamp(m.Target(), brush, segment);
    benchmark::DoNotOptimize(box);
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_StampSegment)
    ->Args({1, 0})
    ->Args({2, 0})
    ->Args({1, 3})
    ->Args({1, 9})
    ->Unit(benchmark::kMicrosecond);

}  // namespace
