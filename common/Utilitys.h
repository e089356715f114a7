#pragma once
// Shared procedures of the module Utilitys: the one-operator formula
// evaluator, the stored-condition evaluator, the recordset filter helpers of
// the brochure sheet and the recordset cache saving.

#include <cstdint>
#include <string>

#include "common/recordset.h"
#include "common/variant.h"

namespace trelix {

// Module name the instrumented procedures of this module report.
inline constexpr const char* kUtilitysModule = "Utilitys";

// Evaluates a one-operator formula ("10/4", "3*4", "5*-3"): the operator is
// chosen by priority / * + -, the operands are converted locale-aware, the
// result is written in the general number format. No operator: "".
// Errors go through the procedure error log ("Function Calculate").
std::string Calculate(const Variant& expression);

// Whether a stored condition holds for a list of chosen items. Each {n} in
// the condition becomes true when " n " occurs in `list`, else false; the
// result is evaluated as a VBScript expression and converted to Boolean.
// `condition` is trimmed in place. Errors are raised with the source
// "trelix_eb:ConditionMet"; the format error is 0x80040204 "Condition or
// Rule has unexpected format".
bool ConditionMet(std::string& condition, const std::string& list);

// The filter criteria selecting the equipment rows of one brochure line.
std::string addFilter(const Variant& rsBrochure, const Variant& arrOptions);

// Searches the equipment rows for the line's sought value and returns
// "@S", "@O", "@D" or "@X", leaving the found row current.
std::string GetAvailAbility(Recordset& rsBrochure, Recordset& rsEquipment, bool booStandardFound,
                            const std::string& strSortField);

// The description with its first character upper-cased, except for the
// languages that have no letter case (8, 9, 10, 25, 34).
std::string FormatDescByLanguageID(int16_t intLanguageID, const std::string& strDescription);

// Stores the recordset's XML text in the cache through the connector.
// Handle 0: does nothing.
void Save_Cache(Recordset& recordset, int32_t cache_handle, const std::string& key, const std::string& project,
                const std::string& connection);

}  // namespace trelix
