#include "base/datagen/site_common.h"

namespace trelix::datagen {

void AddTranslations(RowSink& sink, TableId table, Cell key, const Tr& text) {
  for (size_t i = 0; i < kSiteLanguages.size(); ++i) {
    if (const char* t = text.In(i)) sink.Add(table, {key, kSiteLanguages[i], t});
  }
}

void AddCurrencies(RowSink& sink) {
  sink.Add(TableId::kCurrencySymbol, {"EUR", "€", 0, 2, 1.0, "Euro"});
  sink.Add(TableId::kCurrencySymbol, {"GBP", "£", 1, 2, 0.85, "Pound sterling"});
  sink.Add(TableId::kCurrencySymbol, {"USD", "$", 0, 2, 1.08, "US dollar"});
  sink.Add(TableId::kCurrencySymbol, {"CHF", "CHF", Cell(), 2, 0.96, "Swiss franc"});
  sink.Add(TableId::kCurrencySymbol, {"JPY", "¥", 0, 0, 162.5, "Japanese yen"});
}

}  // namespace trelix::datagen
