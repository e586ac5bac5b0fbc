#include "app/TextConvert.h"

#include <charconv>
#include <cmath>
#include <string>

namespace korvane {

namespace {
std::string_view Trim(std::string_view s) {
  const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
  while (!s.empty() && blank(s.front())) s.remove_prefix(1);
  while (!s.empty() && blank(s.back())) s.remove_suffix(1);
  return s;
}
}  // namespace

int TextToInt(std::string_view text, int fallback) {
  std::string_view s = Trim(text);
  if (!s.empty() && s.front() == '+') s.remove_prefix(1);
  if (s.empty()) return fallback;
  int value = 0;
  const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value);
  if (ec != std::errc() || end != s.data() + s.size()) return fallback;
  return value;
}

double TextToFloat(std::string_view text, double fallback) {
  std::string s(Trim(text));
  if (!s.empty() && s.front() == '+') s.erase(0, 1);
  if (s.empty()) return fallback;
  for (char& c : s)
    if (c == ',') c = '.';
  double value = 0;
  const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value);
  if (ec != std::errc() || end != s.data() + s.size() || !std::isfinite(value)) return fallback;
  return value;
}

}  // namespace korvane
