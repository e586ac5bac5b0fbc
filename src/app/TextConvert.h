// Numbers typed into edit fields: text that is not a number becomes the field's default.
#pragma once

#include <string_view>

namespace korvane {

// A decimal integer with optional sign and surrounding blanks, within 32 bits; else `fallback`.
int TextToInt(std::string_view text, int fallback);
// A decimal number ("12", "-0.5", "1e3"; a comma is taken for the decimal point); else `fallback`.
double TextToFloat(std::string_view text, double fallback);

}  // namespace korvane
