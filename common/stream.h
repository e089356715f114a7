#pragma once
// Stream: the text stream ("adodb.stream") that recordsets are saved to and
// opened from. Holds UTF-8 text; Position counts bytes from the start.

#include <cstdint>
#include <string>
#include <string_view>

#include "common/object.h"

namespace trelix {

class Stream : public Object {
 public:
  std::string TypeName() const override { return "Stream"; }

  void Open() { text_.clear(); position_ = 0; }
  void Close() { text_.clear(); position_ = 0; }

  int64_t Position() const { return position_; }
  // Raises 3001 for a position beyond the end.
  void SetPosition(int64_t position);
  int64_t Size() const { return static_cast<int64_t>(text_.size()); }

  // Writes at the current position (overwriting), moving the position on.
  void WriteText(std::string_view text);
  // ReadText(-1): everything from the position to the end; ReadText(n): at
  // most n bytes. Moves the position on.
  std::string ReadText(int64_t count = -1);

  // Whole contents, independent of the position.
  const std::string& text() const { return text_; }
  std::string& mutable_text() { return text_; }

 private:
  std::string text_;
  int64_t position_ = 0;
};

}  // namespace trelix
