#pragma once
// Strict UTF-8: no overlong forms, no surrogates, nothing past U+10FFFF.
// Text from outside (database values, request arguments) is checked or
// repaired here, so that XML, JSON and ICU downstream only see valid text.
// Runs of ASCII, the bulk of real data, are scanned eight bytes at a time.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace trelix {

namespace utf8_internal {

constexpr uint64_t kEveryByte = 0x0101010101010101ull;
constexpr uint64_t kHighBits = 0x8080808080808080ull;

}  // namespace utf8_internal

// The position of the first non-ASCII byte of `text` at or after `from`
// (text.size() when there is none).
inline size_t AsciiRunEnd(std::string_view text, size_t from) {
  const char* data = text.data();
  const size_t size = text.size();
  size_t i = from;
  for (; i + 8 <= size; i += 8) {
    uint64_t word;
    std::memcpy(&word, data + i, 8);
    if (word & utf8_internal::kHighBits) break;
  }
  while (i < size && static_cast<unsigned char>(data[i]) < 0x80) ++i;
  return i;
}

// Bytes of the valid sequence that starts at text[i] (1 for ASCII), or 0
// when none starts there (a stray continuation byte, a truncated or
// overlong sequence, a surrogate, a code point past U+10FFFF).
size_t Utf8SequenceLength(std::string_view text, size_t i);

bool IsValidUtf8(std::string_view text);

// `text` with each byte that starts no valid sequence replaced by U+FFFD.
std::string SanitizeUtf8(std::string_view text);

}  // namespace trelix
