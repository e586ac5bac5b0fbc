// PNG reading through libpng, and the signature test used by format detection.
#pragma once

namespace korvane {

class TStream;
class TDib;
class TIOParamsVals;
struct TProgressRec;

// One-bit images (grey or a two-colour palette, without transparency) load as 1-bit bitmaps in
// their own colours, everything else as 24-bit with alpha composited on the file's background or,
// without one, on PNG_Background. A file libpng rejects, palette indices beyond the palette and
// declared sizes the file cannot hold raise EInvalidGraphic("Unrecognized PNG"); stream errors
// pass unchanged.
void ReadPNGStream(TStream& stream, TDib& bitmap, TIOParamsVals& params, bool paramsOnly,
                   TProgressRec& progress);
// Whether the next 8 bytes are the PNG signature; the position is put back.
bool IsPNGStream(TStream& stream);

}  // namespace korvane
