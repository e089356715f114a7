#pragma once
// VehicleId: one vehicle of a feature comparison: its identifier as the
// caller wrote it in the vehicle list, and one VehicleFeatureInfo per
// feature of the feature list, in the list's order, keyed "0", "1", ...
// A data holder that VehicleFeatures creates and fills; clients receive it
// and cannot create it.
//
// Members follow the automation interface _VehicleId in slot order; the
// collection behaves as VB's Collection (keyed_collection.h). Errors pass
// to the caller (nothing is logged).

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "common/object.h"
#include "common/variant.h"
#include "features/keyed_collection.h"
#include "features/vehicle_feature_info.h"
#include "frame/dispatch.h"  // MissingArgument

namespace trelix {

class VehicleId : public Object {
 public:
  using FeatureRef = std::shared_ptr<VehicleFeatureInfo>;

  std::string TypeName() const override { return "VehicleId"; }
  Variant Invoke(std::string_view name, InvokeKind kind, std::vector<Variant>& args) override;

  // 1. Number of features held.
  int32_t Count() const { return features_.Count(); }

  // 2. Default member: the feature at a 1-based position (a number) or under
  // a key (a text). No index raises 0x80040201 "Missing Item Index".
  FeatureRef Item(const Variant& Index = MissingArgument()) const;

  // 3. Appends oClass under Key; the result is Empty. An empty reference
  // raises 91; a late-bound object of another class 13.
  Variant Add(const FeatureRef& oClass, const std::string& Key);

  // 4. The enumerator: the features in order, as an array of objects.
  Variant NewEnum() const;

  // 5./6. The vehicle's identifier.
  const std::string& vehicle_id() const { return vehicle_id_; }
  void SetVehicleId(std::string id) { vehicle_id_ = std::move(id); }

  // Early-bound walk over the features with their keys.
  const KeyedCollection<VehicleFeatureInfo>& features() const { return features_; }
  void ReserveFeatures(size_t count) { features_.Reserve(count); }

 private:
  std::string vehicle_id_;
  KeyedCollection<VehicleFeatureInfo> features_;
};

// "Missing Item Index", raised by Item of VehicleId and VehicleFeatures.
[[noreturn]] void RaiseMissingItemIndex();

}  // namespace trelix
