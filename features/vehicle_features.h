#pragma once
// VehicleFeatures ("trelix_eb.VehicleFeatures"): the feature-by-feature
// comparison of a list of vehicles. A caller sets the database and
// selection properties, chooses a comparison type, calls
// DoFeatureComparison and walks the result: one VehicleId per vehicle of
// the list, in list order and keyed by its id, each holding one
// VehicleFeatureInfo per feature of the feature list with its state against
// the vehicle's reference vehicle and the icon text of that state.
//
//   features.SetDatabaseConnectionString("sqlite:/data");
//   features.SetProjectDatabaseName("demo_project");
//   features.SetSpecsDatabaseName("demo_specs");
//   features.SetLanguageId(1);
//   features.SetVehicleIdList("1001,1002,1003");
//   features.SetComparisonType_PrimaryBased("1003");  // after the list
//   features.DoFeatureComparison();
//   for (const auto& [id, vehicle] : features.vehicles()) ...
//
// Members follow the automation interface _VehicleFeatures in slot order.
// DoFeatureComparison and its loading procedures raise errors again with
// their procedure's name appended to the source "trelix_eb" (the innermost
// one an error passed); the properties and collection members let errors
// pass unchanged. Nothing is written to the procedure error log.
//
// Pooled by the application server: Activate gives an empty vehicle
// collection, language -1 and neighbour-based comparison; every other
// setting stays as the previous caller left it. An object made directly
// (outside the pool) starts as an activated one would.
//
// Apartment-threaded: one call at a time per object.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "common/object.h"
#include "common/recordset.h"
#include "common/variant.h"
#include "features/keyed_collection.h"
#include "features/vehicle_feature_info.h"
#include "features/vehicle_id.h"
#include "frame/component_classes.h"  // SearchType, IconInformation, kVehicleFeaturesProgId
#include "frame/dispatch.h"           // MissingArgument
#include "frame/object_context.h"

namespace trelix {

class VehicleFeatures : public Object, public ObjectControl {
 public:
  using VehicleRef = std::shared_ptr<VehicleId>;
  using VehicleCollection = KeyedCollection<VehicleId>;

  VehicleFeatures();
  VehicleFeatures(const VehicleFeatures&) = delete;
  VehicleFeatures& operator=(const VehicleFeatures&) = delete;

  std::string TypeName() const override { return "VehicleFeatures"; }
  Variant Invoke(std::string_view name, InvokeKind kind, std::vector<Variant>& args) override;

  // 1. The enumerator: the vehicles in order, as an array of objects.
  Variant NewEnum() const;
  // 2. Default member: the vehicle at a 1-based position (a number) or
  // under its id (a text); no index raises "Missing Item Index".
  VehicleRef Item(const Variant& Index = MissingArgument()) const;
  // 3. Number of vehicles held.
  int32_t Count() const;

  // 4.-17. Settings. The setters convert with the automation rules (to a
  // string, or to a 32-bit integer for LanguageId); a value that does not
  // convert raises the conversion error and leaves the field unchanged.
  void SetDatabaseConnectionString(const Variant& value);
  Variant DatabaseConnectionString() const { return Variant(database_connection_string_); }
  void SetProjectDatabaseName(const Variant& value);
  Variant ProjectDatabaseName() const { return Variant(project_database_name_); }
  void SetSpecsDatabaseName(const Variant& value);
  Variant SpecsDatabaseName() const { return Variant(specs_database_name_); }
  void SetLanguageId(const Variant& value);  // -1: not set
  Variant LanguageId() const { return Variant(language_id_); }
  void SetCategory(const Variant& value);  // "": every category
  Variant Category() const { return Variant(category_); }
  void SetSegment(const Variant& value);  // "": the segment "Default"
  Variant Segment() const { return Variant(segment_); }
  void SetVehicleIdList(const Variant& value);  // numeric ids joined by ","
  Variant VehicleIdList() const { return Variant(vehicle_id_list_); }

  // 18. Loads the listed vehicles' features and sets every feature's state
  // against its reference vehicle (feature_comparison.cc).
  void DoFeatureComparison();
  // 19. Each vehicle is compared with the one before it in the list.
  void SetComparisonType_NeighborBased();
  // 20. Each vehicle is compared with the primary vehicle, which this moves
  // to the front of VehicleIdList (call it after setting the list).
  void SetComparisonType_PrimaryBased(const Variant& vPrimaryVehicleId);
  // 21./22.
  bool IsComparisonType_NeighborBased() const { return comparison_type_ == static_cast<int32_t>(SearchType::NeighborBased); }
  bool IsComparisonType_PrimaryBased() const { return comparison_type_ == static_cast<int32_t>(SearchType::PrimaryBased); }
  // 23. Appends oClass to the vehicle collection under Key; the result is
  // Empty.
  Variant Add(const VehicleRef& oClass, const std::string& Key);

  // ObjectControl.
  void Activate() override;
  void Deactivate() override;
  bool CanBePooled() override { return true; }

  // Early-bound views for the result's walkers (JSON, tables). vehicles()
  // raises 91 on a deactivated object, which holds no collection.
  const VehicleCollection& vehicles() const;
  const IconInformation& icon_info() const { return icon_info_; }
  const std::string& primary_vehicle_id() const { return primary_vehicle_id_; }
  int32_t comparison_type() const { return comparison_type_; }

 private:
  friend class VehicleFeaturesTestPeer;

  // The features every vehicle is laid out against, in display order: one
  // entry per standard_content row of the category and segment.
  struct SchemaIdList {
    std::vector<int32_t> schema_id;
    std::vector<int32_t> order_id;
    std::vector<int32_t> row_id;
    // The category standard_content files each feature under, as the
    // feature rows report it; "" when no listed vehicle has the feature.
    std::vector<std::string> category;
    size_t size() const { return schema_id.size(); }
  };
  // Presence flags: whether the vehicle has a standard text for feature j.
  using Flags = std::vector<bool>;

  // feature_loading.cc
  bool HasDatabaseInfo() const;
  void ResetVehicleCollection();
  RecordsetRef GetFeatureData();
  SchemaIdList GetSchemaIdList();
  static void FillFeatureCategories(const Recordset& rs, SchemaIdList& schema_list);
  static void SetAllFlags(Flags& flags, bool value);
  void AddVehicleIdObject(const SchemaIdList& schema_list, Recordset& rs, const std::string& vehicle_id,
                          Flags& flags);
  // The collection, or 91 when a deactivated object is used.
  VehicleCollection& Collection() const;

  // feature_comparison.cc
  void DoFeatureComparisonBody();
  void CompareNeighborBased(Recordset& rs, const SchemaIdList& schema_list);
  void ComparePrimaryBased(Recordset& rs, const SchemaIdList& schema_list);
  void CompareVehicleFeatures(int32_t i, int32_t r, const Flags& current, const Flags& reference, bool first);
  void GetIconInformation();

  std::string database_connection_string_;
  std::string project_database_name_;
  std::string specs_database_name_;
  int32_t language_id_ = -1;
  std::string category_;
  std::string segment_;
  std::string vehicle_id_list_;
  int32_t comparison_type_ = static_cast<int32_t>(SearchType::NeighborBased);
  std::string primary_vehicle_id_;
  IconInformation icon_info_;
  // Handed over at activation and kept for the activation's length, as the
  // application server expects of a poolable object; never dereferenced.
  ObjectContext* object_context_ = nullptr;
  std::unique_ptr<VehicleCollection> vehicles_;
};

// Registers "trelix_eb.VehicleFeatures" so that hosts can create it; the
// objects come from a pool of released objects (see object_pool.h).
void RegisterVehicleFeaturesClass();

}  // namespace trelix
