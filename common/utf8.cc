#include "common/utf8.h"

namespace trelix {

size_t Utf8SequenceLength(std::string_view text, size_t i) {
  const auto lead = static_cast<unsigned char>(text[i]);
  if (lead < 0x80) return 1;
  size_t length;
  uint32_t code;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2, code = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3, code = lead & 0x0F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4, code = lead & 0x07;
  } else {
    return 0;
  }
  if (length > text.size() - i) return 0;
  for (size_t k = 1; k < length; ++k) {
    const auto next = static_cast<unsigned char>(text[i + k]);
    if ((next & 0xC0) != 0x80) return 0;
    code = (code << 6) | (next & 0x3F);
  }
  if (length == 3 && (code < 0x800 || (code >= 0xD800 && code <= 0xDFFF))) return 0;
  if (length == 4 && (code < 0x10000 || code > 0x10FFFF)) return 0;
  return length;
}

namespace {

// The end of the valid text that starts at `from`.
size_t ValidRunEnd(std::string_view text, size_t from) {
  size_t i = from;
  while ((i = AsciiRunEnd(text, i)) < text.size()) {
    const size_t length = Utf8SequenceLength(text, i);
    if (length == 0) break;
    i += length;
  }
  return i;
}

}  // namespace

bool IsValidUtf8(std::string_view text) { return ValidRunEnd(text, 0) == text.size(); }

std::string SanitizeUtf8(std::string_view text) {
  size_t i = ValidRunEnd(text, 0);
  if (i == text.size()) return std::string(text);
  std::string out;
  out.reserve(text.size() + 2);
  out.append(text.substr(0, i));
  while (i < text.size()) {
    out += "\xEF\xBF\xBD";
    const size_t start = i + 1;
    i = ValidRunEnd(text, start);
    out.append(text.substr(start, i - start));
  }
  return out;
}

}  // namespace trelix
