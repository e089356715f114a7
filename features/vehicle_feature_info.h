#pragma once
// VehicleFeatureInfo: one feature of one vehicle in a feature comparison:
// its translated text, its category, its comparison state and the icon text
// that goes with the state. A data holder that VehicleFeatures creates and
// fills; clients receive it through VehicleId and cannot create it.
//
// Members follow the automation interface _VehicleFeatureInfo in slot
// order. Setting a state does not touch the icon: the icon follows the
// state only when SetIconText is called after it. Errors pass to the caller
// (nothing is logged).

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "common/object.h"
#include "common/variant.h"
#include "frame/component_classes.h"  // IconInformation

namespace trelix {

// The comparison state of a feature, as FeatureState stores it.
enum class FeatureState : int32_t {
  kNoState = -1,
  kAdded = 0,         // the vehicle has it, its reference vehicle does not
  kDeleted = 1,       // the reference vehicle has it, the vehicle does not
  kSameAsOther = 2,   // both have it with the same text, or neither has it
  kInitialVehicle = 3,  // a feature of the first vehicle, compared with nothing
  kChanged = 4,       // both have it, with different texts
};

// The state's name as the JSON form and the tables print it ("Added", ...),
// "Unknown" for a code outside the enumeration.
std::string_view FeatureStateName(int32_t state);

class VehicleFeatureInfo : public Object {
 public:
  VehicleFeatureInfo() { Class_Initialize(); }

  std::string TypeName() const override { return "VehicleFeatureInfo"; }
  Variant Invoke(std::string_view name, InvokeKind kind, std::vector<Variant>& args) override;

  // 1. Back to NoState; text, icon and category stay.
  void Class_Initialize() { feature_state_ = static_cast<int32_t>(FeatureState::kNoState); }

  // 2./3. The feature's text for this vehicle; empty when it lacks it.
  const std::string& TranslatedText() const { return translated_text_; }
  void SetTranslatedText(std::string text) { translated_text_ = std::move(text); }

  // 4.-9. One test per state.
  bool IsFeatureState_Added() const { return Is(FeatureState::kAdded); }
  bool IsFeatureState_Changed() const { return Is(FeatureState::kChanged); }
  bool IsFeatureState_Deleted() const { return Is(FeatureState::kDeleted); }
  bool IsFeatureState_SameAsOther() const { return Is(FeatureState::kSameAsOther); }
  bool IsFeatureState_InitialVehicle() const { return Is(FeatureState::kInitialVehicle); }
  bool IsFeatureState_NoState() const { return Is(FeatureState::kNoState); }

  // 10.-14. One setter per state but NoState (Class_Initialize restores it).
  void SetFeatureState_Added() { Set(FeatureState::kAdded); }
  void SetFeatureState_Deleted() { Set(FeatureState::kDeleted); }
  void SetFeatureState_SameAsOther() { Set(FeatureState::kSameAsOther); }
  void SetFeatureState_InitialVehicle() { Set(FeatureState::kInitialVehicle); }
  void SetFeatureState_Changed() { Set(FeatureState::kChanged); }

  // 15. Icon = the record's text for Added, Deleted or Changed, "" for the
  // other states. A state code outside -1..4 raises 0x80040201 and leaves
  // the icon as it was.
  void SetIconText(const IconInformation& udtIconInfo);

  // 16. The icon text last set by SetIconText.
  const std::string& Icon() const { return icon_; }

  // 17./18. The feature's category.
  const std::string& Category() const { return category_; }
  void SetCategory(std::string category) { category_ = std::move(category); }

  // The raw state code (-1..4).
  int32_t feature_state() const { return feature_state_; }

 private:
  friend class VehicleFeatureInfoTestPeer;

  bool Is(FeatureState state) const { return feature_state_ == static_cast<int32_t>(state); }
  void Set(FeatureState state) { feature_state_ = static_cast<int32_t>(state); }

  std::string translated_text_;
  int32_t feature_state_;
  std::string icon_;
  std::string category_;
};

// The record IconInformation as late-bound callers pass it: an array of the
// three texts in record order (IconAdded, IconDeleted, IconChanged).
IconInformation IconInformationFromVariant(const Variant& record);
Variant IconInformationToVariant(const IconInformation& record);

}  // namespace trelix
