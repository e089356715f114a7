#include "app/query_string.h"

#include <cstdint>

#include "common/utf8.h"

namespace trelix::app {
namespace {

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Decodes one name or value; false on a "%" not followed by two hex digits.
bool Decode(std::string_view text, std::string* out) {
  out->clear();
  out->reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c == '+') {
      *out += ' ';
    } else if (c == '%') {
      if (i + 2 >= text.size()) return false;
      int high = HexValue(text[i + 1]);
      int low = HexValue(text[i + 2]);
      if (high < 0 || low < 0) return false;
      *out += static_cast<char>(high * 16 + low);
      i += 2;
    } else {
      *out += c;
    }
  }
  return true;
}

}  // namespace

std::string_view QueryOfTarget(std::string_view target) {
  size_t hash = target.find('#');
  if (hash != std::string_view::npos) target = target.substr(0, hash);
  size_t question = target.find('?');
  return question == std::string_view::npos ? std::string_view() : target.substr(question + 1);
}

QueryString ParseQueryString(std::string_view raw) {
  QueryString result;
  auto fail = [&](std::string parameter, std::string message) {
    result.error_parameter = std::move(parameter);
    result.error_message = std::move(message);
    return result;
  };
  size_t start = 0;
  while (start <= raw.size()) {
    size_t end = raw.find('&', start);
    if (end == std::string_view::npos) end = raw.size();
    std::string_view pair = raw.substr(start, end - start);
    start = end + 1;
    if (pair.empty()) continue;
    size_t equals = pair.find('=');
    std::string_view raw_name = pair.substr(0, equals);
    std::string_view raw_value = equals == std::string_view::npos ? std::string_view() : pair.substr(equals + 1);
    std::string name, value;
    // A name that cannot be decoded is reported as sent, so the caller can
    // find it in the request.
    if (!Decode(raw_name, &name)) return fail(std::string(raw_name), "has a malformed %-escape in its name");
    if (!IsValidUtf8(name) || name.find('\0') != std::string::npos)
      return fail(std::string(raw_name), "is not a valid UTF-8 parameter name");
    if (!Decode(raw_value, &value)) return fail(name, "has a malformed %-escape");
    if (!IsValidUtf8(value)) return fail(name, "is not valid UTF-8");
    if (value.find('\0') != std::string::npos) return fail(name, "holds a NUL byte");
    if (result.params.count(name)) return fail(name, "is given more than once");
    result.params.emplace(std::move(name), std::move(value));
  }
  return result;
}

}  // namespace trelix::app
