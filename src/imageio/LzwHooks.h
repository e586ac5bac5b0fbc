// The program's own LZW coders for GIF and TIFF, written into a parameter record's hooks at
// start (the library's defaults are empty).
#pragma once

namespace korvane {

class TIOParamsVals;

void InstallLzwCoders(TIOParamsVals& params);

}  // namespace korvane
