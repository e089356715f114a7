#include "base/text_fold.h"

#include <unicode/uchar.h>
#include <unicode/ustring.h>
#include <unicode/utf8.h>

#include <cstring>
#include <vector>

namespace trelix::base {
namespace {

char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

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
  for (size_t i = 0; i < utf8.size(); ++i) {
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
  // built-in NOCASE byte for byte.
  const size_t common = std::min(a.size(), b.size());
  size_t i = 0;
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
