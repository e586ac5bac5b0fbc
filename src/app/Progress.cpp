#include "app/Progress.h"

namespace korvane {

std::string TProgressReporter::WorkingText(int percent, std::int64_t seconds) {
  return "Working ... " + std::to_string(percent) + " %    " + std::to_string(seconds) + " sec";
}

bool TProgressReporter::ReportProgress(int row, int rows) {
  if (row == 0) {
    // A press that started the operation must not stop it at once.
    host_.WaitEscapeReleased();
    savedText_ = host_.StatusText();
    startMs_ = host_.NowMilliseconds();
  }
  int percent = rows > 0 ? static_cast<int>(static_cast<std::int64_t>(row) * 100 / rows) : 100;
  const std::int64_t seconds = (host_.NowMilliseconds() - startMs_) / 1000;
  host_.SetStatusText(WorkingText(percent, seconds));
  bool aborted = false;
  if (host_.EscapeHeld()) {
    host_.OnAborted();
    aborted = true;
    percent = 100;
  }
  if (percent >= 100) host_.SetStatusText(savedText_);
  return aborted;
}

}  // namespace korvane
