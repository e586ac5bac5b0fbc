#include "imageio/Tifccitt.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "imageio/Vistelio.h"

namespace korvane {

namespace {

[[noreturn]] void BadCode() {
  throw EInvalidGraphic("Invalid fax code");
}

struct Code {
  int run;
  const char* bits;
};

// ITU-T T.4 tables 2 and 3: terminating codes (runs 0 to 63), then the make-up codes.
constexpr Code kWhiteCodes[] = {
    {0, "00110101"},     {1, "000111"},       {2, "0111"},         {3, "1000"},
    {4, "1011"},         {5, "1100"},         {6, "1110"},         {7, "1111"},
    {8, "10011"},        {9, "10100"},        {10, "00111"},       {11, "01000"},
    {12, "001000"},      {13, "000011"},      {14, "110100"},      {15, "110101"},
    {16, "101010"},      {17, "101011"},      {18, "0100111"},     {19, "0001100"},
    {20, "0001000"},     {21, "0010111"},     {22, "0000011"},     {23, "0000100"},
    {24, "0101000"},     {25, "0101011"},     {26, "0010011"},     {27, "0100100"},
    {28, "0011000"},     {29, "00000010"},    {30, "00000011"},    {31, "00011010"},
    {32, "00011011"},    {33, "00010010"},    {34, "00010011"},    {35, "00010100"},
    {36, "00010101"},    {37, "00010110"},    {38, "00010111"},    {39, "00101000"},
    {40, "00101001"},    {41, "00101010"},    {42, "00101011"},    {43, "00101100"},
    {44, "00101101"},    {45, "00000100"},    {46, "00000101"},    {47, "00001010"},
    {48, "00001011"},    {49, "01010010"},    {50, "01010011"},    {51, "01010100"},
    {52, "01010101"},    {53, "00100100"},    {54, "00100101"},    {55, "01011000"},
    {56, "01011001"},    {57, "01011010"},    {58, "01011011"},    {59, "01001010"},
    {60, "01001011"},    {61, "00110010"},    {62, "00110011"},    {63, "00110100"},
    {64, "11011"},       {128, "10010"},      {192, "010111"},     {256, "0110111"},
    {320, "00110110"},   {384, "00110111"},   {448, "01100100"},   {512, "01100101"},
    {576, "01101000"},   {640, "01100111"},   {704, "011001100"},  {768, "011001101"},
    {832, "011010010"},  {896, "011010011"},  {960, "011010100"},  {1024, "011010101"},
    {1088, "011010110"}, {1152, "011010111"}, {1216, "011011000"}, {1280, "011011001"},
    {1344, "011011010"}, {1408, "011011011"}, {1472, "010011000"}, {1536, "010011001"},
    {1600, "010011010"}, {1664, "011000"},    {1728, "010011011"},
};

constexpr Code kBlackCodes[] = {
    {0, "0000110111"},
    {1, "010"},
    {2, "11"},
    {3, "10"},
    {4, "011"},
    {5, "0011"},
    {6, "0010"},
    {7, "00011"},
    {8, "000101"},
    {9, "000100"},
    {10, "0000100"},
    {11, "0000101"},
    {12, "0000111"},
    {13, "00000100"},
    {14, "00000111"},
    {15, "000011000"},
    {16, "0000010111"},
    {17, "0000011000"},
    {18, "0000001000"},
    {19, "00001100111"},
    {20, "00001101000"},
    {21, "00001101100"},
    {22, "00000110111"},
    {23, "00000101000"},
    {24, "00000010111"},
    {25, "00000011000"},
    {26, "000011001010"},
    {27, "000011001011"},
    {28, "000011001100"},
    {29, "000011001101"},
    {30, "000001101000"},
    {31, "000001101001"},
    {32, "000001101010"},
    {33, "000001101011"},
    {34, "000011010010"},
    {35, "000011010011"},
    {36, "000011010100"},
    {37, "000011010101"},
    {38, "000011010110"},
    {39, "000011010111"},
    {40, "000001101100"},
    {41, "000001101101"},
    {42, "000011011010"},
    {43, "000011011011"},
    {44, "000001010100"},
    {45, "000001010101"},
    {46, "000001010110"},
    {47, "000001010111"},
    {48, "000001100100"},
    {49, "000001100101"},
    {50, "000001010010"},
    {51, "000001010011"},
    {52, "000000100100"},
    {53, "000000110111"},
    {54, "000000111000"},
    {55, "000000100111"},
    {56, "000000101000"},
    {57, "000001011000"},
    {58, "000001011001"},
    {59, "000000101011"},
    {60, "000000101100"},
    {61, "000001011010"},
    {62, "000001100110"},
    {63, "000001100111"},
    {64, "0000001111"},
    {128, "000011001000"},
    {192, "000011001001"},
    {256, "000001011011"},
    {320, "000000110011"},
    {384, "000000110100"},
    {448, "000000110101"},
    {512, "0000001101100"},
    {576, "0000001101101"},
    {640, "0000001001010"},
    {704, "0000001001011"},
    {768, "0000001001100"},
    {832, "0000001001101"},
    {896, "0000001110010"},
    {960, "0000001110011"},
    {1024, "0000001110100"},
    {1088, "0000001110101"},
    {1152, "0000001110110"},
    {1216, "0000001110111"},
    {1280, "0000001010010"},
    {1344, "0000001010011"},
    {1408, "0000001010100"},
    {1472, "0000001010101"},
    {1536, "0000001011010"},
    {1600, "0000001011011"},
    {1664, "0000001100100"},
    {1728, "0000001100101"},
};

// Make-up codes shared by both colours (T.4 table 3a).
constexpr Code kExtendedCodes[] = {
    {1792, "00000001000"},  {1856, "00000001100"},  {1920, "00000001101"},  {1984, "000000010010"},
    {2048, "000000010011"}, {2112, "000000010100"}, {2176, "000000010101"}, {2240, "000000010110"},
    {2304, "000000010111"}, {2368, "000000011100"}, {2432, "000000011101"}, {2496, "000000011110"},
    {2560, "000000011111"},
};

constexpr int kLookupBits = 13;  // the longest run code

struct Entry {
  std::int16_t run = -1;  // -1: no such code
  std::uint8_t length = 0;
};

struct EncodedRun {
  std::uint16_t code = 0;
  std::uint8_t length = 0;
};

std::uint32_t ParseBits(const char* bits, int& length) {
  std::uint32_t v = 0;
  length = 0;
  for (; bits[length]; ++length) v = v << 1 | static_cast<std::uint32_t>(bits[length] - '0');
  return v;
}

struct Tables {
  std::array<std::array<Entry, 1 << kLookupBits>, 2> decode;
  // Terminating codes 0..63 and make-up codes 64..2560 in steps of 64 (index 63 + n / 64).
  std::array<std::array<EncodedRun, 64 + 40>, 2> encode;

  Tables() {
    const auto add = [&](int colour, const Code& c) {
      int length = 0;
      const std::uint32_t v = ParseBits(c.bits, length);
      const std::uint32_t first = v << (kLookupBits - length);
      const std::uint32_t last = first + (1u << (kLookupBits - length));
      for (std::uint32_t i = first; i < last; ++i)
        decode[colour][i] =
            Entry{static_cast<std::int16_t>(c.run), static_cast<std::uint8_t>(length)};
      const int index = c.run < 64 ? c.run : 63 + c.run / 64;
      encode[colour][index] =
          EncodedRun{static_cast<std::uint16_t>(v), static_cast<std::uint8_t>(length)};
    };
    for (const Code& c : kWhiteCodes) add(0, c);
    for (const Code& c : kBlackCodes) add(1, c);
    for (const Code& c : kExtendedCodes) add(0, c), add(1, c);
  }
};

const Tables& GetTables() {
  static const Tables tables;
  return tables;
}

// One run of `colour`: any make-up codes, then a terminating code.
int ReadRun(TFaxBitReader& in, int colour, int limit) {
  const auto& table = GetTables().decode[colour];
  int total = 0;
  for (;;) {
    const Entry e = table[in.Peek(kLookupBits)];
    if (e.run < 0) BadCode();
    in.Skip(e.length);
    total += e.run;
    if (total > limit) BadCode();
    if (e.run < 64) return total;
  }
}

void PutRun(TFaxBitWriter& out, int colour, int run) {
  const auto& table = GetTables().encode[colour];
  while (run > 2560 + 63) {
    out.Put(table[63 + 40].code, table[63 + 40].length);
    run -= 2560;
  }
  if (run >= 64) {
    const EncodedRun& m = table[static_cast<std::size_t>(63 + run / 64)];
    out.Put(m.code, m.length);
    run %= 64;
  }
  out.Put(table[static_cast<std::size_t>(run)].code, table[static_cast<std::size_t>(run)].length);
}

void FillBlack(std::uint8_t* row, int from, int to) {
  if (from >= to) return;
  int first = from >> 3;
  const int last = (to - 1) >> 3;
  const std::uint8_t head = static_cast<std::uint8_t>(0xFF >> (from & 7));
  const std::uint8_t tail = static_cast<std::uint8_t>(0xFF00 >> (((to - 1) & 7) + 1));
  if (first == last) {
    row[first] |= head & tail;
    return;
  }
  row[first++] |= head;
  if (last > first) std::memset(row + first, 0xFF, static_cast<std::size_t>(last - first));
  row[last] |= tail;
}

inline int At(const TFaxChanges& changes, std::size_t i, int width) {
  return i < changes.size() ? changes[i] : width;
}

// b1 and b2: the first changing element of the reference line right of a0 whose new colour is
// the opposite of `colour` (a change to black has an even index), and the one after it.
inline void FindB1(const TFaxChanges& ref, std::size_t& i, int a0, int colour, int width, int& b1,
                   int& b2) {
  while (i > 0 && At(ref, i - 1, width) > a0) --i;
  while (i < ref.size() && ref[i] <= a0) ++i;
  if ((i & 1) != static_cast<std::size_t>(colour)) ++i;
  b1 = At(ref, i, width);
  b2 = At(ref, i + 1, width);
}

void Code2D(TFaxBitWriter& out, const TFaxChanges& cur, const TFaxChanges& ref, int width) {
  int a0 = -1;
  int colour = 0;
  std::size_t j = 0, i = 0;
  while (a0 < width) {
    while (j < cur.size() && cur[j] <= a0) ++j;
    const int a1 = At(cur, j, width);
    int b1, b2;
    FindB1(ref, i, a0, colour, width, b1, b2);
    if (b2 < a1) {
      out.Put(0x1, 4);
      a0 = b2;
    } else if (a1 - b1 >= -3 && a1 - b1 <= 3) {
      static constexpr std::uint8_t kCodes[7] = {0x02, 0x02, 0x2, 0x1, 0x3, 0x3, 0x3};
      static constexpr std::uint8_t kLengths[7] = {7, 6, 3, 1, 3, 6, 7};
      const int d = a1 - b1 + 3;
      out.Put(kCodes[d], kLengths[d]);
      a0 = a1;
      colour ^= 1;
    } else {
      const int a2 = At(cur, j + 1, width);
      out.Put(0x1, 3);
      PutRun(out, colour, a1 - std::max(a0, 0));
      PutRun(out, colour ^ 1, a2 - a1);
      a0 = a2;
    }
  }
}

void Code1D(TFaxBitWriter& out, const TFaxChanges& cur, int width) {
  int a0 = 0;
  int colour = 0;
  for (const int c : cur) {
    PutRun(out, colour, c - a0);
    a0 = c;
    colour ^= 1;
  }
  PutRun(out, colour, width - a0);
}

constexpr std::uint32_t kEol = 0x001;
constexpr int kEolLength = 12;

}  // namespace

void FaxChangesOf(const std::uint8_t* row, int width, TFaxChanges& changes) {
  changes.clear();
  int colour = 0;
  int x = 0;
  while (x < width) {
    // Whole bytes of the current colour pass at once.
    const std::uint8_t same = colour ? 0xFF : 0x00;
    if ((x & 7) == 0) {
      while (x + 8 <= width && row[x >> 3] == same) x += 8;
      if (x >= width) break;
    }
    const int bit = (row[x >> 3] >> (7 - (x & 7))) & 1;
    if (bit != colour) {
      changes.push_back(x);
      colour = bit;
    }
    ++x;
  }
}

std::uint32_t TFaxBitReader::Peek(int n) const {
  const std::uint64_t byte = position_ >> 3;
  const std::uint64_t bytes = bits_ >> 3;
  std::uint32_t window = 0;
  for (int k = 0; k < 3; ++k) window = window << 8 | (byte + k < bytes ? data_[byte + k] : 0u);
  const int shift = 24 - static_cast<int>(position_ & 7) - n;
  return (window >> shift) & ((1u << n) - 1);
}

void TFaxBitReader::Skip(int n) {
  position_ += static_cast<std::uint64_t>(n);
  if (position_ > bits_) throw EInvalidGraphic("Fax data ends inside a line");
}

bool TFaxBitReader::SkipEol() {
  std::uint64_t p = position_;
  while (p < bits_ && ((data_[p >> 3] >> (7 - (p & 7))) & 1) == 0) ++p;
  if (p >= bits_ || p - position_ < 11) return false;
  position_ = p + 1;
  return true;
}

void TFaxBitWriter::Put(std::uint32_t code, int length) {
  accumulator_ = accumulator_ << length | code;
  count_ += length;
  while (count_ >= 8) {
    count_ -= 8;
    out_.push_back(static_cast<std::uint8_t>(accumulator_ >> count_));
  }
  accumulator_ &= (1u << count_) - 1;
}

void TFaxBitWriter::AlignToByte() {
  if (count_ > 0) Put(0, 8 - count_);
}

void CCITTHuffmanGetLine(TFaxBitReader& in, std::uint8_t* row, int width, TFaxChanges& changes) {
  std::memset(row, 0, static_cast<std::size_t>((width + 7) / 8));
  changes.clear();
  int a0 = 0;
  int colour = 0;
  for (;;) {
    const int run = ReadRun(in, colour, width - a0);
    if (colour) FillBlack(row, a0, a0 + run);
    a0 += run;
    if (a0 >= width) return;
    changes.push_back(a0);
    colour ^= 1;
  }
}

void CCITT3_2D_GetLine(TFaxBitReader& in, std::uint8_t* row, int width,
                       const TFaxChanges& reference, TFaxChanges& changes) {
  std::memset(row, 0, static_cast<std::size_t>((width + 7) / 8));
  changes.clear();
  int a0 = -1;
  int colour = 0;
  std::size_t i = 0;
  const auto change = [&](int x) {
    if (x < width) changes.push_back(x);
  };
  while (a0 < width) {
    int b1, b2;
    FindB1(reference, i, a0, colour, width, b1, b2);
    const int start = std::max(a0, 0);
    const std::uint32_t bits = in.Peek(7);
    int delta;
    if (bits & 0x40) {
      in.Skip(1);
      delta = 0;
    } else if (bits & 0x20) {
      in.Skip(3);
      delta = bits & 0x10 ? 1 : -1;
    } else if (bits & 0x10) {
      in.Skip(3);
      const int r1 = ReadRun(in, colour, width - start);
      const int a1 = start + r1;
      const int r2 = ReadRun(in, colour ^ 1, width - a1);
      const int a2 = a1 + r2;
      if (colour)
        FillBlack(row, start, a1);
      else
        FillBlack(row, a1, a2);
      change(a1);
      change(a2);
      a0 = a2;
      continue;
    } else if (bits & 0x08) {
      in.Skip(4);
      if (colour) FillBlack(row, start, b2);
      a0 = b2;
      continue;
    } else if (bits & 0x04) {
      in.Skip(6);
      delta = bits & 0x02 ? 2 : -2;
    } else if (bits & 0x02) {
      in.Skip(7);
      delta = bits & 0x01 ? 3 : -3;
    } else {
      BadCode();  // extension codes and stray end-of-line codes
    }
    const int a1 = b1 + delta;
    if (a1 < start || a1 > width) BadCode();
    if (colour) FillBlack(row, start, a1);
    change(a1);
    colour ^= 1;
    a0 = a1;
  }
}

void CCITTHuffmanPutLine(TFaxBitWriter& out, const std::uint8_t* row, int width) {
  TFaxChanges cur;
  FaxChangesOf(row, width, cur);
  Code1D(out, cur, width);
  out.AlignToByte();
}

void CCITTHuffmanPutLineG3(TFaxBitWriter& out, const std::uint8_t* row, int width) {
  TFaxChanges cur;
  FaxChangesOf(row, width, cur);
  out.Put(kEol, kEolLength);
  Code1D(out, cur, width);
}

void CCITTHuffmanPutLineG32D(TFaxBitWriter& out, const std::uint8_t* row, int width,
                             const TFaxChanges& reference, bool oneDimensional,
                             TFaxChanges& changes) {
  FaxChangesOf(row, width, changes);
  out.Put(kEol << 1 | (oneDimensional ? 1u : 0u), kEolLength + 1);
  if (oneDimensional)
    Code1D(out, changes, width);
  else
    Code2D(out, changes, reference, width);
}

void CCITTHuffmanPutLineG4(TFaxBitWriter& out, const std::uint8_t* row, int width,
                           const TFaxChanges& reference, TFaxChanges& changes) {
  FaxChangesOf(row, width, changes);
  Code2D(out, changes, reference, width);
}

void CCITTFinishG4(TFaxBitWriter& out) {
  out.Put(kEol, kEolLength);
  out.Put(kEol, kEolLength);
  out.AlignToByte();
}

}  // namespace korvane
