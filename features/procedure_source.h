#pragma once
// The error path of VehicleFeatures.DoFeatureComparison and its loading
// procedures: each catches what its body raises, lets its locals go, and
// raises the error again with the number and description unchanged. An
// error whose source is exactly the component's name leaves with the
// procedure's name appended ("trelix_eb" -> "trelix_eb.GetFeatureData");
// any other source passes unchanged, so an error names the innermost of
// these procedures it passed. Nothing is logged.

#include <exception>
#include <string_view>
#include <utility>

#include "common/com_error.h"
#include "common/modVelloxLITE.h"  // ToComError

namespace trelix::features_internal {

inline constexpr std::string_view kDoFeatureComparison = ".DoFeatureComparison";
inline constexpr std::string_view kGetFeatureData = ".GetFeatureData";
inline constexpr std::string_view kGetSchemaIdList = ".GetSchemaIdList";
inline constexpr std::string_view kAddVehicleIdObject = ".AddVehicleIdObject";
inline constexpr std::string_view kGetIconInformation = ".GetIconInformation";

inline ComError WithProcedureSource(const ComError& error, std::string_view procedure) {
  if (error.source() != kComponentName) return error;
  return ComError(error.number(), std::string(kComponentName).append(procedure), error.description(),
                  error.help_file(), error.help_context());
}

template <class Body>
auto RunProcedure(std::string_view procedure, Body&& body) -> decltype(body()) {
  try {
    return std::forward<Body>(body)();
  } catch (const std::exception& error) {
    throw WithProcedureSource(ToComError(error), procedure);
  }
}

}  // namespace trelix::features_internal
