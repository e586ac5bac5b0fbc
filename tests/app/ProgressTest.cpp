// The progress text, its restoration and the Escape key.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/Progress.h"

namespace korvane {
namespace {

class FakeHost final : public IProgressHost {
 public:
  std::string StatusText() const override { return status; }
  void SetStatusText(const std::string& text) override {
    status = text;
    shown.push_back(text);
  }
  bool EscapeHeld() override { return escapeAtCall >= 0 && ++calls > escapeAtCall; }
  void WaitEscapeReleased() override { ++waits; }
  std::int64_t NowMilliseconds() override { return now += 700; }
  void OnAborted() override { ++aborts; }

  std::string status = "Drawing ...";
  std::vector<std::string> shown;
  int escapeAtCall = -1;  // Escape seen from this call on
  int calls = 0;
  int waits = 0;
  int aborts = 0;
  std::int64_t now = 0;
};

TEST(Progress, ShowsPercentAndSecondsThenPutsTheTextBack) {
  FakeHost host;
  TProgressReporter progress(host);
  for (int row = 0; row < 4; ++row) EXPECT_FALSE(progress.ReportProgress(row, 4));
  EXPECT_EQ(host.waits, 1);  // only at row 0
  // The clock advances 700 ms a reading; row 0 reads it twice. Seconds are truncated.
  EXPECT_EQ(host.shown[0], "Working ... 0 %    0 sec");
  EXPECT_EQ(host.shown[1], "Working ... 25 %    1 sec");
  EXPECT_EQ(host.shown[2], "Working ... 50 %    2 sec");
  EXPECT_EQ(host.status, "Working ... 75 %    2 sec");
  // The caller's last report (row = rows) reaches 100 % and restores the text.
  EXPECT_FALSE(progress.ReportProgress(4, 4));
  EXPECT_EQ(host.status, "Drawing ...");
}

TEST(Progress, EscapeStopsAndRestoresTheText) {
  FakeHost host;
  host.escapeAtCall = 2;
  TProgressReporter progress(host);
  EXPECT_FALSE(progress.ReportProgress(0, 10));
  EXPECT_FALSE(progress.ReportProgress(1, 10));
  EXPECT_TRUE(progress.ReportProgress(2, 10));
  EXPECT_EQ(host.aborts, 1);
  EXPECT_EQ(host.status, "Drawing ...");
}

TEST(Progress, ZeroRowsDoesNotDivideByZero) {
  FakeHost host;
  TProgressReporter progress(host);
  EXPECT_FALSE(progress.ReportProgress(0, 0));
  EXPECT_EQ(host.status, "Drawing ...");
}

TEST(Progress, LargeRowCountsDoNotOverflow) {
  FakeHost host;
  TProgressReporter progress(host);
  progress.ReportProgress(0, 2000000000);
  EXPECT_FALSE(progress.ReportProgress(1999999999, 2000000000));
  EXPECT_EQ(host.shown.back(), "Working ... 99 %    1 sec");
}

}  // namespace
}  // namespace korvane
