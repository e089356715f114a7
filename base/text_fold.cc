#include "base/text_fold.h"

#include <unicode/uchar.h>
#include <unicode/ustring.h>
#include <unicode/utf8.h>

#include <bit>
#include <cstdint>
#include <cstring>
#include <vector>

namespace trelix::base {
namespace {

char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

constexpr uint64_t kHighBits = 0x8080808080808080ULL;
constexpr uint64_t EveryByte(uint8_t b) { return 0x0101010101010101ULL * b; }

// LowerAscii on each byte of eight ASCII bytes (no high bit set): a byte
// gets 0x20 added where it lies in 'A'..'Z'. Each sum stays below 0x100,
// so no carry crosses into the next byte.
uint64_t LowerAsciiWord(uint64_t word) {
  const uint64_t at_least_a = word + EveryByte(0x80 - 'A');
  const uint64_t above_z = word + EveryByte(0x7F - 'Z');
  const uint64_t upper = at_least_a & ~above_z & kHighBits;
  return word | (upper >> 2);
}

bool IsAscii(std::string_view s) {
  for (char c : s) {
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  }
  return true;
}

}  // namespace

void AppendFoldCase(std::string& out, std::string_view utf8) {
  const size_t start = out.size();
  out.append(utf8);
  char* folded = out.data() + start;
  size_t i = 0;
  for (; i + 8 <= utf8.size(); i += 8) {
    uint64_t word;
    std::memcpy(&word, folded + i, 8);
    if (word & kHighBits) break;  // the byte loop falls back to ICU
    word = LowerAsciiWord(word);
    std::memcpy(folded + i, &word, 8);
  }
  for (; i < utf8.size(); ++i) {
    if (static_cast<unsigned char>(folded[i]) >= 0x80) {
      out.resize(start);
      out += FoldCase(utf8);
      return;
    }
    folded[i] = LowerAscii(folded[i]);
  }
}

std::string FoldCase(std::string_view utf8) {
  if (IsAscii(utf8)) {
    std::string out(utf8);
    for (char& c : out) c = LowerAscii(c);
    return out;
  }
  // UTF-8 -> UTF-16 (invalid bytes become U+FFFD) -> full folding -> UTF-8.
  std::vector<UChar> wide(utf8.size() + 1);
  int32_t wide_len = 0;
  UErrorCode status = U_ZERO_ERROR;
  u_strFromUTF8WithSub(wide.data(), static_cast<int32_t>(wide.size()), &wide_len, utf8.data(),
                       static_cast<int32_t>(utf8.size()), 0xFFFD, nullptr, &status);
  if (U_FAILURE(status)) return std::string(utf8);
  // Full folding can lengthen text (ß -> ss) up to three times.
  std::vector<UChar> folded(static_cast<size_t>(wide_len) * 3 + 1);
  status = U_ZERO_ERROR;
  int32_t folded_len = u_strFoldCase(folded.data(), static_cast<int32_t>(folded.size()), wide.data(), wide_len,
                                     U_FOLD_CASE_DEFAULT, &status);
  if (U_FAILURE(status)) return std::string(utf8);
  std::string out(static_cast<size_t>(folded_len) * 3, '\0');
  int32_t out_len = 0;
  status = U_ZERO_ERROR;
  u_strToUTF8(out.data(), static_cast<int32_t>(out.size()), &out_len, folded.data(), folded_len, &status);
  if (U_FAILURE(status)) return std::string(utf8);
  out.resize(static_cast<size_t>(out_len));
  return out;
}

int CompareFolded(std::string_view a, std::string_view b) {
  // ASCII fast path: the common case, and the one that must match SQLite's
  // built-in NOCASE byte for byte. Up to eight bytes are lowered and
  // compared at a time while both texts stay ASCII (a short rest is padded
  // with zero bytes on both sides, which compare equal).
  const size_t common = std::min(a.size(), b.size());
  size_t i = 0;
  if constexpr (std::endian::native == std::endian::little) {
    while (i < common) {
      const size_t n = std::min<size_t>(8, common - i);
      uint64_t wa = 0, wb = 0;
      std::memcpy(&wa, a.data() + i, n);
      std::memcpy(&wb, b.data() + i, n);
      if ((wa | wb) & kHighBits) break;  // a non-ASCII byte: the byte loop finds it
      const uint64_t la = LowerAsciiWord(wa), lb = LowerAsciiWord(wb);
      if (la != lb) {
        // The lowest differing byte comes first in the text.
        const int shift = std::countr_zero(la ^ lb) & ~7;
        return static_cast<uint8_t>(la >> shift) < static_cast<uint8_t>(lb >> shift) ? -1 : 1;
      }
      i += n;
    }
  }
  for (; i < common; ++i) {
    const auto ca = static_cast<unsigned char>(a[i]), cb = static_cast<unsigned char>(b[i]);
    if ((ca | cb) >= 0x80) break;
    const char la = LowerAscii(static_cast<char>(ca)), lb = LowerAscii(static_cast<char>(cb));
    if (la != lb) return static_cast<unsigned char>(la) < static_cast<unsigned char>(lb) ? -1 : 1;
  }
  if (i == common) {
    // One is a prefix of the other; folding never empties a character.
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
  }
  // The prefix so far was ASCII and equal, so `i` starts a character in both:
  // fold the rest, whose UTF-8 compares in code point order byte by byte.
  const std::string fa = FoldCase(a.substr(i)), fb = FoldCase(b.substr(i));
  const int r = std::memcmp(fa.data(), fb.data(), std::min(fa.size(), fb.size()));
  if (r != 0) return r < 0 ? -1 : 1;
  return fa.size() == fb.size() ? 0 : (fa.size() < fb.size() ? -1 : 1);
}

}  // namespace trelix::base
