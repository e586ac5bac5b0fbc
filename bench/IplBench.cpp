// The layer's convolution and median against the bare OpenCV calls they wrap, on the same memory:
// a 4000 x 3000 bottom-up BGR image with random content, rows aligned to 4 bytes.
#include <benchmark/benchmark.h>

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include "ipl/ipl.h"

namespace {

constexpr int kWidth = 4000;
constexpr int kHeight = 3000;

class BenchImages {
 public:
  BenchImages() : src_(Make()), dst_(Make()) { cv::randu(Mat(src_), 0, 256); }
  ~BenchImages() {
    iplDeallocate(src_, IPL_IMAGE_ALL);
    iplDeallocate(dst_, IPL_IMAGE_ALL);
  }
  BenchImages(const BenchImages&) = delete;
  BenchImages& operator=(const BenchImages&) = delete;

  IplImage* src() const { return src_; }
  IplImage* dst() const { return dst_; }
  static cv::Mat Mat(const IplImage* image) {
    return cv::Mat(image->height, image->width, CV_8UC3, image->imageData,
                   static_cast<std::size_t>(image->widthStep));
  }

 private:
  static IplImage* Make() {
    IplImage* image = iplCreateImageHeader(3, 0, IPL_DEPTH_8U, "RGB", "BGR", IPL_DATA_ORDER_PIXEL,
                                           IPL_ORIGIN_BL, IPL_ALIGN_4BYTES, kWidth, kHeight);
    iplAllocateImage(image, 0, 0);
    return image;
  }
  IplImage* src_;
  IplImage* dst_;
};

BenchImages& Images() {
  static BenchImages images;
  return images;
}

void BM_IplConvolve3x3(benchmark::State& state) {
  const BenchImages& im = Images();
  const int ones[9] = {1, 1, 1, 1, 1, 1, 1, 1, 1};
  IplConvKernel* kernel = iplCreateConvKernel(3, 3, 1, 1, ones, 3);
  for (auto _ : state) {
    iplConvolve2D(im.src(), im.dst(), &kernel, 1, IPL_SUM);
    benchmark::DoNotOptimize(im.dst()->imageData);
    benchmark::ClobberMemory();
  }
  iplDeleteConvKernel(kernel);
}

void BM_CvFilter2D3x3(benchmark::State& state) {
  const BenchImages& im = Images();
  const cv::Mat src = BenchImages::Mat(im.src());
  cv::Mat dst = BenchImages::Mat(im.dst());
  const cv::Mat kernel = cv::Mat::ones(3, 3, CV_32F) / 8.0;
  for (auto _ : state) {
    cv::filter2D(src, dst, -1, kernel, cv::Point(1, 1), 0, cv::BORDER_CONSTANT);
    benchmark::DoNotOptimize(dst.data);
    benchmark::ClobberMemory();
  }
}

void BM_IplMedian5x5(benchmark::State& state) {
  const BenchImages& im = Images();
  for (auto _ : state) {
    iplMedianFilter(im.src(), im.dst(), 5, 5, 2, 2);
    benchmark::DoNotOptimize(im.dst()->imageData);
    benchmark::ClobberMemory();
  }
}

void BM_CvMedianBlur5x5(benchmark::State& state) {
  const BenchImages& im = Images();
  const cv::Mat src = BenchImages::Mat(im.src());
  cv::Mat dst = BenchImages::Mat(im.dst());
  for (auto _ : state) {
    cv::medianBlur(src, dst, 5);
    benchmark::DoNotOptimize(dst.data);
    benchmark::ClobberMemory();
  }
}

// OpenCV may spread work over threads: wall time is what the user waits for.
#define KORVANE_IPL_BENCH(fn)         \
  BENCHMARK(fn)                       \
      ->Unit(benchmark::kMillisecond) \
      ->UseRealTime()                 \
      ->Repetitions(5)                \
      ->ReportAggregatesOnly(true)

KORVANE_IPL_BENCH(BM_IplConvolve3x3);
KORVANE_IPL_BENCH(BM_CvFilter2D3x3);
KORVANE_IPL_BENCH(BM_IplMedian5x5);
KORVANE_IPL_BENCH(BM_CvMedianBlur5x5);

}  // namespace
