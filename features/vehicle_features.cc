// VehicleFeatures: settings, collection members, activation and
// registration. Loading is feature_loading.cc, the comparison
// feature_comparison.cc.

#include "features/vehicle_features.h"


#include "common/com_error.h"
#include "common/vb_runtime.h"
#include "frame/object_pool.h"

namespace trelix {
namespace {

// Released objects kept for the next caller; beyond this many, released
// objects are destroyed.
constexpr size_t kMaxIdleObjects = 32;

Variant SetAndReturnEmpty(auto&& setter) {
  setter();
  return Variant();
}

const DispatchTable<VehicleFeatures>& Table() {
  using Self = VehicleFeatures;
  static const auto table =
      DispatchTable<Self>()
          .PropertyGet("NewEnum", {}, [](Self& self, Args&) { return self.NewEnum(); }, kDispidNewEnum)
          .Method("Item", {Param::OptionalByRef("Index")},
                  [](Self& self, Args& a) { return Variant(ObjectRef(self.Item(a[0]))); }, kDispidValue)
          .PropertyGet("Count", {}, [](Self& self, Args&) { return Variant(self.Count()); })
          .PropertyPut("DatabaseConnectionString", {},
                       [](Self& self, Args& a) { return SetAndReturnEmpty([&] { self.SetDatabaseConnectionString(a[0]); }); })
          .PropertyGet("DatabaseConnectionString", {}, [](Self& self, Args&) { return self.DatabaseConnectionString(); })
          .PropertyPut("ProjectDatabaseName", {},
                       [](Self& self, Args& a) { return SetAndReturnEmpty([&] { self.SetProjectDatabaseName(a[0]); }); })
          .PropertyGet("ProjectDatabaseName", {}, [](Self& self, Args&) { return self.ProjectDatabaseName(); })
          .PropertyPut("SpecsDatabaseName", {},
                       [](Self& self, Args& a) { return SetAndReturnEmpty([&] { self.SetSpecsDatabaseName(a[0]); }); })
          .PropertyGet("SpecsDatabaseName", {}, [](Self& self, Args&) { return self.SpecsDatabaseName(); })
          .PropertyPut("LanguageId", {},
                       [](Self& self, Args& a) { return SetAndReturnEmpty([&] { self.SetLanguageId(a[0]); }); })
          .PropertyGet("LanguageId", {}, [](Self& self, Args&) { return self.LanguageId(); })
          .PropertyPut("Category", {},
                       [](Self& self, Args& a) { return SetAndReturnEmpty([&] { self.SetCategory(a[0]); }); })
          .PropertyGet("Category", {}, [](Self& self, Args&) { return self.Category(); })
          .PropertyPut("Segment", {},
                       [](Self& self, Args& a) { return SetAndReturnEmpty([&] { self.SetSegment(a[0]); }); })
          .PropertyGet("Segment", {}, [](Self& self, Args&) { return self.Segment(); })
          .PropertyPut("VehicleIdList", {},
                       [](Self& self, Args& a) { return SetAndReturnEmpty([&] { self.SetVehicleIdList(a[0]); }); })
          .PropertyGet("VehicleIdList", {}, [](Self& self, Args&) { return self.VehicleIdList(); })
          .Method("DoFeatureComparison", {},
                  [](Self& self, Args&) { return SetAndReturnEmpty([&] { self.DoFeatureComparison(); }); })
          .Method("SetComparisonType_NeighborBased", {},
                  [](Self& self, Args&) { return SetAndReturnEmpty([&] { self.SetComparisonType_NeighborBased(); }); })
          .Method("SetComparisonType_PrimaryBased", {Param::ByRef("vPrimaryVehicleId")},
                  [](Self& self, Args& a) {
                    return SetAndReturnEmpty([&] { self.SetComparisonType_PrimaryBased(a[0]); });
                  })
          .PropertyGet("IsComparisonType_NeighborBased", {},
                       [](Self& self, Args&) { return Variant(self.IsComparisonType_NeighborBased()); })
          .PropertyGet("IsComparisonType_PrimaryBased", {},
                       [](Self& self, Args&) { return Variant(self.IsComparisonType_PrimaryBased()); })
          .Method("Add", {Param::ByRef("oClass"), Param::ByRef("Key")}, [](Self& self, Args& a) {
            auto vehicle = a[0].As<VehicleId>();
            if (!vehicle) RaiseVbError(kErrTypeMismatch);
            return self.Add(vehicle, vb::CStr(a[1]));
          });
  return table;
}

}  // namespace

VehicleFeatures::VehicleFeatures() : vehicles_(std::make_unique<VehicleCollection>()) {}

Variant VehicleFeatures::Invoke(std::string_view name, InvokeKind kind, std::vector<Variant>& args) {
  return Table().Invoke(*this, name, kind, args);
}

VehicleFeatures::VehicleCollection& VehicleFeatures::Collection() const {
  if (!vehicles_) RaiseVbError(kErrObjectVariableNotSet);
  return *vehicles_;
}

const VehicleFeatures::VehicleCollection& VehicleFeatures::vehicles() const { return Collection(); }

Variant VehicleFeatures::NewEnum() const {
  // An enumerator that cannot be made is an empty reference, never an error.
  try {
    return Collection().ItemsAsArray();
  } catch (...) {
    return Variant::Nothing();
  }
}

VehicleFeatures::VehicleRef VehicleFeatures::Item(const Variant& Index) const {
  if (IsMissing(Index)) RaiseMissingItemIndex();
  return Collection().Item(Index);
}

int32_t VehicleFeatures::Count() const { return Collection().Count(); }

Variant VehicleFeatures::Add(const VehicleRef& oClass, const std::string& Key) {
  if (!oClass) RaiseVbError(kErrObjectVariableNotSet);
  Collection().Add(oClass, Key);
  return Variant();
}

// Each setter converts before it assigns, so a failed conversion leaves the
// field as it was.
void VehicleFeatures::SetDatabaseConnectionString(const Variant& value) { database_connection_string_ = vb::CStr(value); }
void VehicleFeatures::SetProjectDatabaseName(const Variant& value) { project_database_name_ = vb::CStr(value); }
void VehicleFeatures::SetSpecsDatabaseName(const Variant& value) { specs_database_name_ = vb::CStr(value); }
void VehicleFeatures::SetLanguageId(const Variant& value) { language_id_ = vb::CLng(value); }
void VehicleFeatures::SetCategory(const Variant& value) { category_ = vb::CStr(value); }
void VehicleFeatures::SetSegment(const Variant& value) { segment_ = vb::CStr(value); }
void VehicleFeatures::SetVehicleIdList(const Variant& value) { vehicle_id_list_ = vb::CStr(value); }

void VehicleFeatures::Activate() {
  object_context_ = GetObjectContext();
  vehicles_ = std::make_unique<VehicleCollection>();
  language_id_ = -1;
  comparison_type_ = static_cast<int32_t>(SearchType::NeighborBased);
}

void VehicleFeatures::Deactivate() {
  try {
    vehicles_.reset();
    object_context_ = nullptr;
  } catch (...) {
    // Releasing must not fail the application server's release of the object.
  }
}

void RegisterVehicleFeaturesClass() {
  // One pool for the process, made on first registration and never
  // destroyed, so that factories handed out earlier stay valid at exit.
  static ObjectPool* const pool =
      new ObjectPool([] { return std::make_shared<VehicleFeatures>(); }, kMaxIdleObjects);
  RegisterCreatableClass(kVehicleFeaturesProgId, pool->AsFactory());
}

}  // namespace trelix
