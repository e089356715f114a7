// The text functions of the VB runtime. Texts are UTF-8; positions and
// lengths are UTF-16 code units as VB counts them. Pure ASCII texts (the
// usual case: codes, numbers, SQL) take byte-wise fast paths.

#include <unicode/uchar.h>
#include <unicode/ustring.h>
#include <unicode/utf16.h>
#include <unicode/utf8.h>

#include <algorithm>
#include <string>
#include <vector>

#include "common/com_error.h"
#include "common/vb_internal.h"
#include "common/vb_runtime.h"

namespace trelix::vb {

using internal::FoldCase;
using internal::IsAscii;
using internal::ToUtf16;
using internal::ToUtf8;

namespace internal {

bool IsAscii(std::string_view text) {
  for (char c : text) {
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  }
  return true;
}

std::u16string ToUtf16(std::string_view text) {
  std::u16string out(text.size(), u'\0');  // UTF-16 never needs more units than UTF-8 bytes
  int32_t length = 0;
  UErrorCode status = U_ZERO_ERROR;
  u_strFromUTF8WithSub(out.data(), static_cast<int32_t>(out.size()), &length, text.data(),
                       static_cast<int32_t>(text.size()), 0xFFFD, nullptr, &status);
  if (U_FAILURE(status)) RaiseVbError(kErrInvalidProcedureCall);
  out.resize(static_cast<size_t>(length));
  return out;
}

std::string ToUtf8(std::u16string_view text) {
  std::string out(text.size() * 3, '\0');
  int32_t length = 0;
  UErrorCode status = U_ZERO_ERROR;
  u_strToUTF8WithSub(out.data(), static_cast<int32_t>(out.size()), &length, text.data(),
                     static_cast<int32_t>(text.size()), 0xFFFD, nullptr, &status);
  if (U_FAILURE(status)) RaiseVbError(kErrInvalidProcedureCall);
  out.resize(static_cast<size_t>(length));
  return out;
}

std::u16string FoldCase(std::u16string_view text) {
  std::u16string out(text);
  for (size_t i = 0; i < out.size();) {
    UChar32 c;
    size_t start = i;
    U16_NEXT(out.data(), i, out.size(), c);
    UChar32 folded = u_foldCase(c, U_FOLD_CASE_DEFAULT);
    if (folded == c || U16_LENGTH(folded) != static_cast<int>(i - start)) continue;
    if (U16_LENGTH(folded) == 1) {
      out[start] = static_cast<char16_t>(folded);
    } else {
      out[start] = U16_LEAD(folded);
      out[start + 1] = U16_TRAIL(folded);
    }
  }
  return out;
}

}  // namespace internal

namespace {

char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c | 0x20) : c; }

std::string AsciiFold(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = AsciiLower(c);
  return out;
}

// A text in the form the searching functions work on: bytes when every text
// involved is ASCII, else UTF-16 units; folded for text compare.
struct Units {
  bool ascii;
  std::string bytes;
  std::u16string wide;
  size_t size() const { return ascii ? bytes.size() : wide.size(); }
};

Units MakeUnits(std::string_view text, bool ascii, CompareMode compare) {
  Units u{ascii, {}, {}};
  if (ascii) {
    u.bytes = compare == CompareMode::kText ? AsciiFold(text) : std::string(text);
  } else {
    u.wide = compare == CompareMode::kText ? FoldCase(ToUtf16(text)) : ToUtf16(text);
  }
  return u;
}

size_t FindUnits(const Units& haystack, const Units& needle, size_t from) {
  return haystack.ascii ? haystack.bytes.find(needle.bytes, from) : haystack.wide.find(needle.wide, from);
}

// Lengths above this are refused with "Out of memory" rather than letting a
// stored text make the process allocate without bound.
constexpr size_t kMaxResultLength = size_t{1} << 28;  // 256 MiB

void CheckLength(size_t length) {
  if (length > kMaxResultLength) RaiseVbError(7);
}

}  // namespace

int32_t Len(std::string_view text) {
  if (IsAscii(text)) return static_cast<int32_t>(text.size());
  return static_cast<int32_t>(ToUtf16(text).size());
}

std::string Left(std::string_view text, int32_t length) {
  if (length < 0) RaiseVbError(kErrInvalidProcedureCall);
  if (IsAscii(text)) return std::string(text.substr(0, static_cast<size_t>(length)));
  std::u16string wide = ToUtf16(text);
  return ToUtf8(std::u16string_view(wide).substr(0, static_cast<size_t>(length)));
}

std::string Right(std::string_view text, int32_t length) {
  if (length < 0) RaiseVbError(kErrInvalidProcedureCall);
  size_t want = static_cast<size_t>(length);
  if (IsAscii(text)) return std::string(text.substr(text.size() - std::min(want, text.size())));
  std::u16string wide = ToUtf16(text);
  return ToUtf8(std::u16string_view(wide).substr(wide.size() - std::min(want, wide.size())));
}

std::string Mid(std::string_view text, int32_t start, int32_t length) {
  // length -1 stands for "to the end" (the argument left out).
  if (start < 1 || length < -1) RaiseVbError(kErrInvalidProcedureCall);
  size_t from = static_cast<size_t>(start - 1);
  size_t count = length < 0 ? std::string::npos : static_cast<size_t>(length);
  if (IsAscii(text)) return from >= text.size() ? std::string() : std::string(text.substr(from, count));
  std::u16string wide = ToUtf16(text);
  if (from >= wide.size()) return std::string();
  return ToUtf8(std::u16string_view(wide).substr(from, count));
}

std::string LTrim(std::string_view text) {
  size_t first = text.find_first_not_of(' ');
  return first == std::string_view::npos ? std::string() : std::string(text.substr(first));
}

std::string RTrim(std::string_view text) {
  size_t last = text.find_last_not_of(' ');
  return last == std::string_view::npos ? std::string() : std::string(text.substr(0, last + 1));
}

std::string Trim(std::string_view text) {
  size_t first = text.find_first_not_of(' ');
  if (first == std::string_view::npos) return std::string();
  size_t last = text.find_last_not_of(' ');
  return std::string(text.substr(first, last - first + 1));
}

namespace {

std::string ChangeCase(std::string_view text, bool upper) {
  if (IsAscii(text)) {
    std::string out(text);
    for (char& c : out) {
      if (upper && c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
      if (!upper && c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
    }
    return out;
  }
  std::u16string wide = ToUtf16(text);
  std::u16string out(wide.size() + 16, u'\0');
  for (int attempt = 0; attempt < 2; ++attempt) {
    UErrorCode status = U_ZERO_ERROR;
    int32_t length = upper ? u_strToUpper(out.data(), static_cast<int32_t>(out.size()), wide.data(),
                                          static_cast<int32_t>(wide.size()), "", &status)
                           : u_strToLower(out.data(), static_cast<int32_t>(out.size()), wide.data(),
                                          static_cast<int32_t>(wide.size()), "", &status);
    if (status == U_BUFFER_OVERFLOW_ERROR) {
      out.assign(static_cast<size_t>(length), u'\0');
      continue;
    }
    if (U_FAILURE(status)) RaiseVbError(kErrInvalidProcedureCall);
    out.resize(static_cast<size_t>(length));
    return ToUtf8(out);
  }
  RaiseVbError(kErrInvalidProcedureCall);
}

}  // namespace

std::string UCase(std::string_view text) { return ChangeCase(text, true); }
std::string LCase(std::string_view text) { return ChangeCase(text, false); }

int32_t InStr(int32_t start, std::string_view haystack, std::string_view needle, CompareMode compare) {
  if (start < 1) RaiseVbError(kErrInvalidProcedureCall);
  if (haystack.empty()) return 0;
  const bool ascii = IsAscii(haystack) && IsAscii(needle);
  Units h = MakeUnits(haystack, ascii, compare);
  if (needle.empty()) return static_cast<size_t>(start) <= h.size() ? start : 0;
  Units n = MakeUnits(needle, ascii, compare);
  size_t found = FindUnits(h, n, static_cast<size_t>(start - 1));
  return found == std::string::npos ? 0 : static_cast<int32_t>(found + 1);
}

namespace {

// Replaces the first `count` (-1: all) occurrences of `pattern` found in
// `searched` (the folded form of `rest` for text compare) in `rest`. The
// hits are found first, so that an oversized result is refused before it
// is built.
template <class String>
String ReplaceHits(const String& rest, const String& searched, const String& pattern, const String& with,
                   int32_t count) {
  std::vector<size_t> hits;
  for (size_t pos = 0; count < 0 || static_cast<int32_t>(hits.size()) < count;) {
    size_t hit = searched.find(pattern, pos);
    if (hit == String::npos) break;
    hits.push_back(hit);
    pos = hit + pattern.size();
  }
  const size_t length = rest.size() - hits.size() * pattern.size();
  if (!hits.empty() && with.size() > kMaxResultLength / hits.size()) RaiseVbError(7);
  CheckLength(length + hits.size() * with.size());
  String out;
  out.reserve(length + hits.size() * with.size());
  size_t pos = 0;
  for (size_t hit : hits) {
    out.append(rest, pos, hit - pos);
    out.append(with);
    pos = hit + pattern.size();
  }
  out.append(rest, pos, String::npos);
  return out;
}

// Text that reads back unchanged through UTF-16: no ill-formed sequence
// that the conversion would replace by U+FFFD.
bool IsWellFormedUtf8(std::string_view text) {
  const auto* bytes = reinterpret_cast<const uint8_t*>(text.data());
  const auto length = static_cast<int32_t>(text.size());
  for (int32_t i = 0; i < length;) {
    UChar32 c;
    U8_NEXT(bytes, i, length, c);
    if (c < 0) return false;
  }
  return true;
}

bool HasAsciiLetter(std::string_view text) {
  return std::any_of(text.begin(), text.end(), [](char c) { return AsciiLower(c) >= 'a' && AsciiLower(c) <= 'z'; });
}

// Whether Replace on the whole of non-ASCII text may work on its bytes. An
// ASCII pattern only ever matches ASCII characters, at the same places in
// UTF-8 as in UTF-16; for text compare it must hold no letter, since only
// letters have other characters folding to them (the Kelvin sign to "k").
// The size bound keeps every result below the length limit, which counts
// UTF-16 units on the other path.
bool ReplaceOnBytes(std::string_view expression, std::string_view find, std::string_view replacement,
                    int32_t start, CompareMode compare) {
  if (start != 1 || find.empty() || !IsAscii(find)) return false;
  if (compare == CompareMode::kText && HasAsciiLetter(find)) return false;
  if (expression.size() > kMaxResultLength / (replacement.size() + 1)) return false;
  return IsWellFormedUtf8(expression) && IsWellFormedUtf8(replacement);
}

}  // namespace

std::string Replace(std::string_view expression, std::string_view find, std::string_view replacement,
                    int32_t start, int32_t count, CompareMode compare) {
  if (start < 1 || count < -1) RaiseVbError(kErrInvalidProcedureCall);
  const bool ascii = IsAscii(expression) && IsAscii(find) && IsAscii(replacement);
  if (ascii) {
    // The result begins at `start`, as VB's Replace returns it.
    std::string rest = static_cast<size_t>(start - 1) >= expression.size()
                           ? std::string()
                           : std::string(expression.substr(static_cast<size_t>(start - 1)));
    if (find.empty() || count == 0) return rest;
    if (compare == CompareMode::kBinary) {
      return ReplaceHits(rest, rest, std::string(find), std::string(replacement), count);
    }
    return ReplaceHits(rest, AsciiFold(rest), AsciiFold(find), std::string(replacement), count);
  }
  if (count != 0 && ReplaceOnBytes(expression, find, replacement, start, compare)) {
    return ReplaceHits(std::string(expression), std::string(expression), std::string(find), std::string(replacement),
                       count);
  }
  std::u16string text = ToUtf16(expression);
  std::u16string rest = static_cast<size_t>(start - 1) >= text.size() ? std::u16string()
                                                                       : text.substr(static_cast<size_t>(start - 1));
  if (find.empty() || count == 0) return ToUtf8(rest);
  std::u16string pattern = ToUtf16(find);
  std::u16string with = ToUtf16(replacement);
  if (compare == CompareMode::kText) {
    return ToUtf8(ReplaceHits(rest, FoldCase(rest), FoldCase(pattern), with, count));
  }
  return ToUtf8(ReplaceHits(rest, rest, pattern, with, count));
}

std::vector<std::string> Split(std::string_view expression, std::string_view delimiter, int32_t limit,
                               CompareMode compare) {
  if (limit < -1) RaiseVbError(kErrInvalidProcedureCall);
  std::vector<std::string> parts;
  if (expression.empty() || limit == 0) return parts;
  if (delimiter.empty() || limit == 1) {
    parts.emplace_back(expression);
    return parts;
  }
  const bool ascii = IsAscii(expression) && IsAscii(delimiter);
  Units text = MakeUnits(expression, ascii, compare);
  Units delim = MakeUnits(delimiter, ascii, compare);
  std::u16string original = ascii ? std::u16string() : ToUtf16(expression);
  auto piece = [&](size_t from, size_t length) {
    return ascii ? std::string(expression.substr(from, length))
                 : ToUtf8(std::u16string_view(original).substr(from, length));
  };
  size_t pos = 0;
  while (limit < 0 || static_cast<int32_t>(parts.size()) < limit - 1) {
    size_t hit = FindUnits(text, delim, pos);
    if (hit == std::string::npos) break;
    parts.push_back(piece(pos, hit - pos));
    pos = hit + delim.size();
  }
  parts.push_back(piece(pos, std::string::npos));
  return parts;
}

int StrComp(std::string_view a, std::string_view b, CompareMode compare) {
  int result;
  if (IsAscii(a) && IsAscii(b)) {
    if (compare == CompareMode::kText) {
      size_t common = std::min(a.size(), b.size());
      result = 0;
      for (size_t i = 0; i < common && result == 0; ++i) {
        char x = AsciiLower(a[i]), y = AsciiLower(b[i]);
        if (x != y) result = x < y ? -1 : 1;
      }
      if (result == 0 && a.size() != b.size()) result = a.size() < b.size() ? -1 : 1;
      return result;
    }
    result = a.compare(b);
  } else if (compare == CompareMode::kText) {
    result = FoldCase(ToUtf16(a)).compare(FoldCase(ToUtf16(b)));
  } else {
    result = ToUtf16(a).compare(ToUtf16(b));
  }
  return result < 0 ? -1 : (result > 0 ? 1 : 0);
}

bool TextEquals(std::string_view a, std::string_view b) {
  if (a.size() == b.size() && IsAscii(a) && IsAscii(b)) {
    for (size_t i = 0; i < a.size(); ++i) {
      if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
    }
    return true;
  }
  return StrComp(a, b, CompareMode::kText) == 0;
}

}  // namespace trelix::vb
