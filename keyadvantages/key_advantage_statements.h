#pragma once
// The T-SQL texts and cache keys of KeyAdvantages, assembled from fixed
// fragments and values exactly as the database and the caches expect them.
// Values go in unquoted (numbers, ids) or between single quotes without
// escaping (texts): callers pass what the site's configuration holds.

#include <cstdint>
#include <string>

namespace trelix::keyadvantages_internal {

// The currency table, read whole.
inline constexpr const char* kCurrencyStatement =
    "SELECT code, symbol, symbolafter, decimals, conversion, description From currency_symbol";

// The translated "unlimited" word of a language.
std::string UnlimitedTextStatement(int16_t language_id);

// Every equipment row of the vehicles (ids separated by ","), joined with
// parent schema, option name and price column, and the value's text.
std::string KeyAdvantageSpecsStatement(const std::string& vehicles, int16_t language_id,
                                       const std::string& price_field);

// The advantage definitions of a category ("" for all) in one language;
// segment 0 orders by the category's order, any other segment restricts to
// and orders by that segmentation.
std::string AdvantageDescriptionsStatement(const std::string& category, int16_t language_id, int16_t segment);

std::string AdvantageDescriptionsCacheKey(const std::string& category, int16_t language_id, int16_t segment,
                                          const std::string& specs, const std::string& project);

}  // namespace trelix::keyadvantages_internal
