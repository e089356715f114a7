#pragma once
// Pieces every generated site shares: texts in the site's four languages and
// the currency table.

#include <array>

#include "base/datagen/row_sink.h"

namespace trelix::datagen {

// English, German, French and Japanese.
inline constexpr std::array<int, 4> kSiteLanguages = {1, 3, 5, 8};

// A text in the four languages; nullptr where a translation is missing.
struct Tr {
  const char* en;
  const char* de;
  const char* fr;
  const char* ja;
  const char* In(size_t index) const { return index == 0 ? en : index == 1 ? de : index == 2 ? fr : ja; }
};

// One row (key, language, text) of `table` per language that has a text.
void AddTranslations(RowSink& sink, TableId table, Cell key, const Tr& text);

// EUR (symbol before), GBP (after), USD (before), CHF (symbolafter NULL,
// which counts as before) and JPY (no decimals); EUR is the reference.
void AddCurrencies(RowSink& sink);

}  // namespace trelix::datagen
