#include "common/stream.h"

#include <algorithm>

#include "common/com_error.h"

namespace trelix {

void Stream::SetPosition(int64_t position) {
  if (position < 0 || position > Size()) {
    throw ComError(3001, "ADODB.Stream",
                   "Arguments are of the wrong type, are out of acceptable range, or are in conflict with one another.");
  }
  position_ = position;
}

void Stream::WriteText(std::string_view text) {
  const size_t at = static_cast<size_t>(position_);
  const size_t overlap = std::min(text.size(), text_.size() - at);
  text_.replace(at, overlap, text.substr(0, overlap));
  text_.append(text.substr(overlap));
  position_ += static_cast<int64_t>(text.size());
}

std::string Stream::ReadText(int64_t count) {
  const size_t at = static_cast<size_t>(position_);
  size_t n = text_.size() - at;
  if (count >= 0) n = std::min(n, static_cast<size_t>(count));
  std::string out = text_.substr(at, n);
  position_ += static_cast<int64_t>(n);
  return out;
}

}  // namespace trelix
