// The two data holders and their collection: feature states and icons,
// VB's Collection behaviour and errors, late binding.

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "common/com_error.h"
#include "features/keyed_collection.h"
#include "features/vehicle_feature_info.h"
#include "features/vehicle_features.h"
#include "features/vehicle_id.h"
#include "support/raised.h"

namespace trelix {

class VehicleFeatureInfoTestPeer {
 public:
  static void SetRawState(VehicleFeatureInfo& feature, int32_t state) { feature.feature_state_ = state; }
};

namespace {

const IconInformation kIcons{"add.png", "del.png", "chg.png"};

using testing::Raised;

std::vector<bool> Tests(const VehicleFeatureInfo& f) {
  return {f.IsFeatureState_NoState(), f.IsFeatureState_Added(),          f.IsFeatureState_Deleted(),
          f.IsFeatureState_SameAsOther(), f.IsFeatureState_InitialVehicle(), f.IsFeatureState_Changed()};
}

TEST(VehicleFeatureInfoTest, StatesTestsAndIcons) {
  using Setter = void (VehicleFeatureInfo::*)();
  const std::tuple<Setter, int, const char*> cases[] = {  // the setter, its test's index into Tests(), the icon
      {&VehicleFeatureInfo::SetFeatureState_Added, 1, "add.png"},
      {&VehicleFeatureInfo::SetFeatureState_Deleted, 2, "del.png"},
      {&VehicleFeatureInfo::SetFeatureState_SameAsOther, 3, ""},
      {&VehicleFeatureInfo::SetFeatureState_InitialVehicle, 4, ""},
      {&VehicleFeatureInfo::SetFeatureState_Changed, 5, "chg.png"},
  };
  for (const auto& [set, tested, icon] : cases) {
    VehicleFeatureInfo feature;
    feature.SetTranslatedText("old icon stays until SetIconText");
    (feature.*set)();
    std::vector<bool> expected(6, false);
    expected[tested] = true;
    EXPECT_EQ(Tests(feature), expected) << tested;
    EXPECT_EQ(feature.Icon(), "");
    feature.SetIconText(kIcons);
    EXPECT_EQ(feature.Icon(), icon) << tested;
  }
}

TEST(VehicleFeatureInfoTest, NewFeatureAndClassInitialize) {
  VehicleFeatureInfo feature;
  EXPECT_EQ(Tests(feature), std::vector<bool>({true, false, false, false, false, false}));
  EXPECT_EQ(feature.TranslatedText() + feature.Icon() + feature.Category(), "");
  feature.SetIconText(kIcons);  // NoState: empty icon
  EXPECT_EQ(feature.Icon(), "");

  feature.SetFeatureState_Changed();
  feature.SetIconText(kIcons);
  feature.SetFeatureState_Added();  // the icon does not follow the state by itself
  EXPECT_EQ(feature.Icon(), "chg.png");
  feature.SetTranslatedText("Cruise control");
  feature.SetCategory("Comfort");
  feature.Class_Initialize();
  EXPECT_TRUE(feature.IsFeatureState_NoState());
  EXPECT_EQ(feature.Icon() + "|" + feature.TranslatedText() + "|" + feature.Category(), "chg.png|Cruise control|Comfort");
}

TEST(VehicleFeatureInfoTest, UnknownStateKeepsIcon) {
  VehicleFeatureInfo feature;
  feature.SetFeatureState_Added();
  feature.SetIconText(kIcons);
  VehicleFeatureInfoTestPeer::SetRawState(feature, 5);
  ComError error = Raised([&] { feature.SetIconText(kIcons); });
  EXPECT_EQ(std::tuple(error.number(), error.source(), error.description()),
            std::tuple(kErrFeatureComparison, "trelix_eb", "Unknown state encountered in VehicleFeatureInfo.SetIconInfo"));
  EXPECT_EQ(feature.Icon(), "add.png");
}

TEST(VehicleFeatureInfoTest, LateBound) {
  VehicleFeatureInfo feature;
  Args text = {Variant("Keyless entry")};
  feature.Invoke("translatedtext", InvokeKind::kPropertyPut, text);
  Args none;
  feature.Invoke("SetFeatureState_Deleted", InvokeKind::kMethod, none);
  Args icons = {IconInformationToVariant(kIcons)};
  feature.Invoke("SetIconText", InvokeKind::kMethod, icons);
  EXPECT_EQ(feature.Invoke("Icon", InvokeKind::kPropertyGet, none), Variant("del.png"));
  EXPECT_EQ(feature.Invoke("IsFeatureState_Deleted", InvokeKind::kPropertyGet, none), Variant(true));
  EXPECT_EQ(feature.Invoke("TranslatedText", InvokeKind::kPropertyGet, none), Variant("Keyless entry"));
  EXPECT_EQ(IconInformationFromVariant(icons[0]).IconDeleted, "del.png");  // by reference, unchanged
  Args bad = {Variant("not a record")};
  EXPECT_EQ(Raised([&] { feature.Invoke("SetIconText", InvokeKind::kMethod, bad); }).number(), kErrTypeMismatch);
  EXPECT_EQ(Raised([&] { feature.Invoke("Icon", InvokeKind::kPropertyPut, text); }).number(), kErrNoSuchMember);
}

std::shared_ptr<VehicleId> VehicleWithFeatures(int count) {
  auto vehicle = std::make_shared<VehicleId>();
  for (int i = 0; i < count; ++i) {
    auto feature = std::make_shared<VehicleFeatureInfo>();
    feature->SetTranslatedText("text " + std::to_string(i));
    vehicle->Add(feature, std::to_string(i));
  }
  return vehicle;
}

TEST(VehicleIdTest, ItemByPositionAndKey) {
  auto vehicle = std::make_shared<VehicleId>();
  EXPECT_EQ(vehicle->Count(), 0);
  vehicle = VehicleWithFeatures(3);
  EXPECT_EQ(vehicle->Count(), 3);
  EXPECT_EQ(vehicle->Item(1), vehicle->Item("0"));
  EXPECT_EQ(vehicle->Item(int16_t{3})->TranslatedText(), "text 2");
  EXPECT_EQ(vehicle->Item(2.5)->TranslatedText(), "text 1");  // rounds half to even
  EXPECT_EQ(vehicle->Item(Variant(int64_t{2}))->TranslatedText(), "text 1");
  Variant enumerated = vehicle->NewEnum();
  ASSERT_TRUE(enumerated.IsArray());
  ASSERT_EQ(enumerated.array()->items.size(), 3u);
  EXPECT_EQ(enumerated.array()->items[2].object(), vehicle->Item(3));
}

TEST(VehicleIdTest, CollectionErrors) {
  auto vehicle = VehicleWithFeatures(3);
  struct Case {
    const char* what;
    std::function<void()> body;
    int32_t number;
    const char* description;
  };
  const Case cases[] = {
      {"no index", [&] { vehicle->Item(); }, kErrFeatureComparison, "Missing Item Index"},
      {"position 0", [&] { vehicle->Item(0); }, 9, "Subscript out of range"},
      {"position 4", [&] { vehicle->Item(4); }, 9, "Subscript out of range"},
      {"huge position", [&] { vehicle->Item(1e300); }, 9, "Subscript out of range"},
      {"missing key", [&] { vehicle->Item("3"); }, 5, "Invalid procedure call or argument"},
      {"Null index", [&] { vehicle->Item(Variant::Null()); }, 5, "Invalid procedure call or argument"},
      {"duplicate key", [&] { vehicle->Add(std::make_shared<VehicleFeatureInfo>(), "1"); }, 457,
       "This key is already associated with an element of this collection"},
      {"no object", [&] { vehicle->Add(nullptr, "9"); }, 91, "Object variable or With block variable not set"},
  };
  for (const Case& c : cases) {
    ComError error = Raised(c.body);
    EXPECT_EQ(std::tuple(error.number(), error.source(), error.description()),
              std::tuple(c.number, "trelix_eb", c.description))
        << c.what;
  }
  EXPECT_EQ(vehicle->Count(), 3);  // failed adds leave the collection as it was
  EXPECT_EQ(vehicle->Item("1")->TranslatedText(), "text 1");
}

TEST(KeyedCollectionTest, KeysIgnoreCaseUnicodeAware) {
  KeyedCollection<VehicleFeatureInfo> collection;
  auto first = std::make_shared<VehicleFeatureInfo>();
  collection.Add(first, "Ärger");
  collection.Add(std::make_shared<VehicleFeatureInfo>(), "abc");
  EXPECT_EQ(collection.Item("äRGER"), first);
  EXPECT_EQ(collection.Item("ABC"), collection.At(2));
  for (const char* taken : {"ÄRGER", "ABC"}) EXPECT_EQ(Raised([&] { collection.Add(first, taken); }).number(), 457);
  EXPECT_EQ(collection.Count(), 2);
  EXPECT_EQ(collection.entries()[0].key, "Ärger");  // the key as given
}

// Keys "0", "1", ... in order (how features are keyed) and keys of any other
// form, mixed in either order: the same lookups and errors as a map of keys.
TEST(KeyedCollectionTest, PositionKeysAmongOtherKeys) {
  const std::vector<std::vector<std::string>> orders = {
      {"0", "1", "2", "x", "4", "10"}, {"5", "0", "1", "x", "4", "10"}, {"1", "0", "2", "x", "4", "10"}};
  for (const auto& keys : orders) {
    SCOPED_TRACE(keys[0] + "," + keys[1]);
    KeyedCollection<VehicleFeatureInfo> collection;
    for (const std::string& key : keys) collection.Add(std::make_shared<VehicleFeatureInfo>(), key);
    for (size_t i = 0; i < keys.size(); ++i) {
      EXPECT_EQ(collection.Item(Variant(keys[i])), collection.At(static_cast<int64_t>(i) + 1)) << keys[i];
      EXPECT_EQ(Raised([&] { collection.Add(std::make_shared<VehicleFeatureInfo>(), keys[i]); }).number(), 457)
          << keys[i];
    }
    EXPECT_EQ(collection.Item(Variant("X")), collection.At(4));
    for (const char* missing : {"01", "3", "6", "-0", "+1", " 1", ""}) {
      EXPECT_EQ(Raised([&] { collection.ByKey(missing); }).number(), 5) << missing;
    }
    EXPECT_EQ(collection.Count(), 6);
  }
  // Only position keys: found by number, and nothing past the last one.
  KeyedCollection<VehicleFeatureInfo> positions;
  for (int i = 0; i < 12; ++i) positions.Add(std::make_shared<VehicleFeatureInfo>(), std::to_string(i));
  EXPECT_EQ(positions.ByKey("11"), positions.At(12));
  EXPECT_EQ(positions.ByKey("0"), positions.At(1));
  for (const char* missing : {"12", "011", "1a", "99999999999"}) {
    EXPECT_EQ(Raised([&] { positions.ByKey(missing); }).number(), 5) << missing;
  }
  EXPECT_EQ(Raised([&] { positions.Add(std::make_shared<VehicleFeatureInfo>(), "11"); }).number(), 457);
  positions.Add(std::make_shared<VehicleFeatureInfo>(), "12");
  EXPECT_EQ(positions.ByKey("12"), positions.At(13));
}

}  // namespace
}  // namespace trelix
