#pragma once
// Text forms of a feature comparison's result for the CLI and the HTTP
// service. Both walk the object graph as DoFeatureComparison left it and
// change nothing; a deactivated object (no vehicle collection) raises 91.

#include <string>

#include "features/vehicle_features.h"

namespace trelix {

// {"vehicles":[{"id":"101","features":[{"key":"0","text":"…","category":"…",
//   "state":"InitialVehicle","icon":""},…]},…]}
// Vehicles in collection order, features in each vehicle's order; state is
// the state's name (NoState, Added, Deleted, SameAsOther, InitialVehicle,
// Changed). Text that is not valid UTF-8 is written with U+FFFD in place of
// the bad bytes.
std::string FeatureComparisonJson(VehicleFeatures& features);

// A side-by-side text table: one line per feature (its key and category),
// one column per vehicle holding a state mark, the feature's text (cut at
// 40 characters) and the icon text in brackets when there is one; a legend
// of the marks closes it. "(no vehicles)" when the comparison holds none.
std::string FeatureComparisonTable(VehicleFeatures& features);

}  // namespace trelix
