// Progress of long operations and the Escape key that stops them.
//
// Tools see only IProgress: they call ReportProgress once per row and stop when it answers true.
// TProgressReporter turns those calls into the status text and the Escape check, through the
// small IProgressHost that the main window implements and tests fake.
#pragma once

#include <cstdint>
#include <string>

namespace korvane {

class IProgress {
 public:
  virtual ~IProgress() = default;
  // Called once per row of a long operation; true when the user asked to stop.
  virtual bool ReportProgress(int row, int rows) = 0;
};

// Never stops: for headless use and for operations that need no feedback.
class TNoProgress final : public IProgress {
 public:
  bool ReportProgress(int, int) override { return false; }
};

class IProgressHost {
 public:
  virtual ~IProgressHost() = default;
  virtual std::string StatusText() const = 0;            // status panel 0
  virtual void SetStatusText(const std::string& text) = 0;  // and repaint the status bar
  virtual bool EscapeHeld() = 0;                          // after processing pending input
  virtual void WaitEscapeReleased() = 0;
  virtual std::int64_t NowMilliseconds() = 0;
  virtual void OnAborted() = 0;  // refresh the view, default cursor
};

class TProgressReporter final : public IProgress {
 public:
  explicit TProgressReporter(IProgressHost& host) : host_(host) {}
  bool ReportProgress(int row, int rows) override;

  // The text shown while working: "Working ... 42 %    3 sec".
  static std::string WorkingText(int percent, std::int64_t seconds);

 private:
  IProgressHost& host_;
  std::string savedText_;
  std::int64_t startMs_ = 0;
};

// Runs rowFn(row) for rows 0..rows-1, reporting after each; stops after the row during which the
// user asked to stop. Returns true when it ran to the end.
template <class RowFn>
bool ForEachRow(int rows, IProgress& progress, RowFn&& rowFn) {
  for (int row = 0; row < rows; ++row) {
    rowFn(row);
    if (progress.ReportProgress(row, rows)) return false;
  }
  return true;
}

}  // namespace korvane
