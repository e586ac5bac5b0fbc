// Fax coding of bilevel lines: ITU-T T.4 modified Huffman (one-dimensional) and modified READ
// (two-dimensional) coding, and T.6 (Group 4), one line per call.
//
// Lines are packed 8 pixels a byte, the leftmost in the high bit, 1 for black and 0 for white
// (the pixel values of a WhiteIsZero image). The two-dimensional coders code a line against the
// changing elements of the line before it, which the caller keeps between calls.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace korvane {

// Positions where the colour changes along a line, ascending; the first one is a change to
// black. Positions at or past the width are never stored.
using TFaxChanges = std::vector<int>;

// The changing elements of a packed line.
void FaxChangesOf(const std::uint8_t* row, int width, TFaxChanges& changes);

// Coded bits, most significant first, from a bounded buffer. Reading past the end throws
// EInvalidGraphic, so a truncated strip can never run on into other memory.
class TFaxBitReader {
 public:
  TFaxBitReader(const std::uint8_t* data, std::size_t size)
      : data_(data), bits_(static_cast<std::uint64_t>(size) * 8) {}

  // The next n (at most 16) bits; bits past the end read as 0.
  std::uint32_t Peek(int n) const;
  void Skip(int n);
  int ReadBit() {
    const int bit = static_cast<int>(Peek(1));
    Skip(1);
    return bit;
  }
  void AlignToByte() { position_ = (position_ + 7) & ~std::uint64_t{7}; }
  bool AtEnd() const { return position_ >= bits_; }
  // Consumes an end-of-line code (eleven or more zero bits and a one, so that fill bits pass)
  // when one comes next; otherwise reads nothing.
  bool SkipEol();

 private:
  const std::uint8_t* data_;
  std::uint64_t bits_;
  std::uint64_t position_ = 0;
};

// Codes collected most significant bit first.
class TFaxBitWriter {
 public:
  explicit TFaxBitWriter(std::vector<std::uint8_t>& out) : out_(out) {}
  void Put(std::uint32_t code, int length);
  // Zero bits up to the next byte boundary.
  void AlignToByte();

 private:
  std::vector<std::uint8_t>& out_;
  std::uint32_t accumulator_ = 0;
  int count_ = 0;
};

// Decoding throws EInvalidGraphic on a code that is not in the tables, on runs that pass the
// end of the line and on data that ends inside the line. `changes` receives the line's changing
// elements, the reference for the next two-dimensional line.
void CCITTHuffmanGetLine(TFaxBitReader& in, std::uint8_t* row, int width, TFaxChanges& changes);
void CCITT3_2D_GetLine(TFaxBitReader& in, std::uint8_t* row, int width,
                       const TFaxChanges& reference, TFaxChanges& changes);

// Modified Huffman (TIFF compression 2): one-dimensional, every line ends on a byte boundary.
void CCITTHuffmanPutLine(TFaxBitWriter& out, const std::uint8_t* row, int width);
// T.4 one-dimensional: an end-of-line code, then the line.
void CCITTHuffmanPutLineG3(TFaxBitWriter& out, const std::uint8_t* row, int width);
// T.4 two-dimensional: an end-of-line code and a tag bit, then the line coded against
// `reference` (the changing elements of the previous line), or one-dimensionally when
// `oneDimensional`. `changes` receives this line's changing elements.
void CCITTHuffmanPutLineG32D(TFaxBitWriter& out, const std::uint8_t* row, int width,
                             const TFaxChanges& reference, bool oneDimensional,
                             TFaxChanges& changes);
// T.6: the line coded against `reference` (empty for the first line: all white).
void CCITTHuffmanPutLineG4(TFaxBitWriter& out, const std::uint8_t* row, int width,
                           const TFaxChanges& reference, TFaxChanges& changes);
// Ends a T.6 strip: the end-of-facsimile-block code and the padding to a byte boundary.
void CCITTFinishG4(TFaxBitWriter& out);

}  // namespace korvane
