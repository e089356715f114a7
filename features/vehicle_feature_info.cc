#include "features/vehicle_feature_info.h"

#include "common/com_error.h"
#include "common/vb_runtime.h"
#include "frame/dispatch.h"

namespace trelix {
namespace {

const DispatchTable<VehicleFeatureInfo>& Table() {
  using Self = VehicleFeatureInfo;
  static const auto table =
      DispatchTable<Self>()
          .Method("Class_Initialize", {}, [](Self& self, Args&) { self.Class_Initialize(); return Variant(); })
          .PropertyGet("TranslatedText", {}, [](Self& self, Args&) { return Variant(self.TranslatedText()); })
          .PropertyPut("TranslatedText", {},
                       [](Self& self, Args& a) { self.SetTranslatedText(vb::CStr(a[0])); return Variant(); })
          .PropertyGet("IsFeatureState_Added", {}, [](Self& self, Args&) { return Variant(self.IsFeatureState_Added()); })
          .PropertyGet("IsFeatureState_Changed", {},
                       [](Self& self, Args&) { return Variant(self.IsFeatureState_Changed()); })
          .PropertyGet("IsFeatureState_Deleted", {},
                       [](Self& self, Args&) { return Variant(self.IsFeatureState_Deleted()); })
          .PropertyGet("IsFeatureState_SameAsOther", {},
                       [](Self& self, Args&) { return Variant(self.IsFeatureState_SameAsOther()); })
          .PropertyGet("IsFeatureState_InitialVehicle", {},
                       [](Self& self, Args&) { return Variant(self.IsFeatureState_InitialVehicle()); })
          .PropertyGet("IsFeatureState_NoState", {},
                       [](Self& self, Args&) { return Variant(self.IsFeatureState_NoState()); })
          .Method("SetFeatureState_Added", {}, [](Self& self, Args&) { self.SetFeatureState_Added(); return Variant(); })
          .Method("SetFeatureState_Deleted", {},
                  [](Self& self, Args&) { self.SetFeatureState_Deleted(); return Variant(); })
          .Method("SetFeatureState_SameAsOther", {},
                  [](Self& self, Args&) { self.SetFeatureState_SameAsOther(); return Variant(); })
          .Method("SetFeatureState_InitialVehicle", {},
                  [](Self& self, Args&) { self.SetFeatureState_InitialVehicle(); return Variant(); })
          .Method("SetFeatureState_Changed", {},
                  [](Self& self, Args&) { self.SetFeatureState_Changed(); return Variant(); })
          .Method("SetIconText", {Param::ByRef("udtIconInfo")},
                  [](Self& self, Args& a) {
                    self.SetIconText(IconInformationFromVariant(a[0]));
                    return Variant();
                  })
          .PropertyGet("Icon", {}, [](Self& self, Args&) { return Variant(self.Icon()); })
          .PropertyGet("Category", {}, [](Self& self, Args&) { return Variant(self.Category()); })
          .PropertyPut("Category", {}, [](Self& self, Args& a) { self.SetCategory(vb::CStr(a[0])); return Variant(); });
  return table;
}

}  // namespace

std::string_view FeatureStateName(int32_t state) {
  switch (static_cast<FeatureState>(state)) {
    case FeatureState::kNoState: return "NoState";
    case FeatureState::kAdded: return "Added";
    case FeatureState::kDeleted: return "Deleted";
    case FeatureState::kSameAsOther: return "SameAsOther";
    case FeatureState::kInitialVehicle: return "InitialVehicle";
    case FeatureState::kChanged: return "Changed";
  }
  return "Unknown";
}

Variant VehicleFeatureInfo::Invoke(std::string_view name, InvokeKind kind, std::vector<Variant>& args) {
  return Table().Invoke(*this, name, kind, args);
}

void VehicleFeatureInfo::SetIconText(const IconInformation& udtIconInfo) {
  switch (static_cast<FeatureState>(feature_state_)) {
    case FeatureState::kAdded:
      icon_ = udtIconInfo.IconAdded;
      return;
    case FeatureState::kDeleted:
      icon_ = udtIconInfo.IconDeleted;
      return;
    case FeatureState::kChanged:
      icon_ = udtIconInfo.IconChanged;
      return;
    case FeatureState::kSameAsOther:
    case FeatureState::kInitialVehicle:
    case FeatureState::kNoState:
      icon_.clear();
      return;
  }
  throw ComError(kErrFeatureComparison, kComponentName, "Unknown state encountered in VehicleFeatureInfo.SetIconInfo");
}

IconInformation IconInformationFromVariant(const Variant& record) {
  if (!record.IsArray() || record.array()->items.size() != 3) RaiseVbError(kErrTypeMismatch);
  const std::vector<Variant>& fields = record.array()->items;
  return IconInformation{vb::CStr(fields[0]), vb::CStr(fields[1]), vb::CStr(fields[2])};
}

Variant IconInformationToVariant(const IconInformation& record) {
  return Variant::Array({Variant(record.IconAdded), Variant(record.IconDeleted), Variant(record.IconChanged)});
}

}  // namespace trelix
