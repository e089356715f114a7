#include "features/vehicle_id.h"

#include "common/com_error.h"
#include "common/vb_runtime.h"

namespace trelix {
namespace {

const DispatchTable<VehicleId>& Table() {
  using Self = VehicleId;
  static const auto table =
      DispatchTable<Self>()
          .PropertyGet("Count", {}, [](Self& self, Args&) { return Variant(self.Count()); })
          .Method("Item", {Param::OptionalByRef("Index")},
                  [](Self& self, Args& a) { return Variant(ObjectRef(self.Item(a[0]))); }, kDispidValue)
          .Method("Add", {Param::ByRef("oClass"), Param::ByRef("Key")},
                  [](Self& self, Args& a) {
                    auto feature = a[0].As<VehicleFeatureInfo>();
                    if (!feature) RaiseVbError(kErrTypeMismatch);
                    return self.Add(feature, vb::CStr(a[1]));
                  })
          .PropertyGet("NewEnum", {}, [](Self& self, Args&) { return self.NewEnum(); }, kDispidNewEnum)
          .PropertyGet("VehicleId", {}, [](Self& self, Args&) { return Variant(self.vehicle_id()); })
          .PropertyPut("VehicleId", {}, [](Self& self, Args& a) { self.SetVehicleId(vb::CStr(a[0])); return Variant(); });
  return table;
}

}  // namespace

void RaiseMissingItemIndex() { throw ComError(kErrFeatureComparison, kComponentName, "Missing Item Index"); }

Variant VehicleId::Invoke(std::string_view name, InvokeKind kind, std::vector<Variant>& args) {
  return Table().Invoke(*this, name, kind, args);
}

VehicleId::FeatureRef VehicleId::Item(const Variant& Index) const {
  if (IsMissing(Index)) RaiseMissingItemIndex();
  return features_.Item(Index);
}

Variant VehicleId::Add(const FeatureRef& oClass, const std::string& Key) {
  // Every walk over the features dereferences them, so an empty reference
  // is refused here rather than met later.
  if (!oClass) RaiseVbError(kErrObjectVariableNotSet);
  features_.Add(oClass, Key);
  return Variant();
}

Variant VehicleId::NewEnum() const {
  // An enumerator that cannot be made is an empty reference, never an error.
  try {
    return features_.ItemsAsArray();
  } catch (...) {
    return Variant::Nothing();
  }
}

}  // namespace trelix
