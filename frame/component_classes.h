#pragma once
// The component's published shape: the type library's identity, its five
// classes with their interfaces, the enumeration SearchType and the record
// IconInformation, and the registration of the creatable classes.
//
// Identities are fixed once and never change between builds: hosts and
// registrations made with one build stay valid for the next.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "common/object_factory.h"

namespace trelix {

// --- Type library ------------------------------------------------------------

inline constexpr std::string_view kTypeLibraryName = "trelix_eb";
inline constexpr std::string_view kTypeLibraryId = "{10C1E1C1-6B6C-4BCD-BE00-2DBAB80EEA56}";
inline constexpr int kTypeLibraryMajorVersion = 1;
inline constexpr int kTypeLibraryMinorVersion = 0;
inline constexpr int32_t kTypeLibraryLocale = 0;  // locale neutral
inline constexpr std::string_view kThreadingModel = "Apartment";

// The application server's transaction attribute, carried by the creatable
// classes with the value "transactions not supported".
inline constexpr std::string_view kTransactionAttributeId = "{17093CC6-9BD2-11CF-AA4F-304BF89C0001}";
inline constexpr int32_t kTransactionNotSupported = 0;

// --- Enumeration and record ----------------------------------------------------

inline constexpr std::string_view kSearchTypeId = "{DBC9A540-8069-4883-867E-69667C506099}";
enum class SearchType : int32_t {
  NeighborBased = 1,
  PrimaryBased = 2,
};

inline constexpr std::string_view kIconInformationId = "{9201A428-6BC5-4C7D-8E7D-C759A2B95B12}";
struct IconInformation {
  std::string IconAdded;
  std::string IconDeleted;
  std::string IconChanged;
};

// --- Classes -------------------------------------------------------------------

inline constexpr std::string_view kKeyAdvantagesProgId = "trelix_eb.KeyAdvantages";
inline constexpr std::string_view kCategoriesProgId = "trelix_eb.Categories";
inline constexpr std::string_view kVehicleFeaturesProgId = "trelix_eb.VehicleFeatures";

struct ComponentClass {
  std::string_view name;            // the class name TypeName reports
  std::string_view prog_id;         // empty: clients cannot create it
  bool implements_object_control;   // Activate / Deactivate / CanBePooled
  bool has_transaction_attribute;   // carries kTransactionAttributeId
  int32_t transaction_attribute;    // its value when carried
  std::string_view class_id;
  std::string_view interface_name;  // the class's dual interface
  std::string_view interface_id;

  bool creatable() const { return !prog_id.empty(); }
};

inline constexpr std::array<ComponentClass, 5> kComponentClasses = {{
    {"VehicleFeatureInfo", "", false, false, 0, "{DB690A5D-C7CE-44F0-A464-E0C200A6759D}", "_VehicleFeatureInfo",
     "{37529F58-BB5B-4CC4-965F-50D68E2E952D}"},
    {"VehicleId", "", false, false, 0, "{351371E0-00EF-464B-B12B-5A1AB4871176}", "_VehicleId",
     "{284BDA63-B634-4E3E-9B9D-32F2FBD4BC53}"},
    {"VehicleFeatures", kVehicleFeaturesProgId, true, true, kTransactionNotSupported,
     "{F323023C-EC21-4C69-8586-E6A21F28CBC5}", "_VehicleFeatures", "{7A1269D9-FA2D-4AFF-8965-50AEAE915D5F}"},
    {"KeyAdvantages", kKeyAdvantagesProgId, true, true, kTransactionNotSupported,
     "{F713C43A-C889-4FA3-9E56-C3FD82D39D3E}", "_KeyAdvantages", "{F46D8C91-2F40-4A27-BCBF-896CBCB51E5F}"},
    {"Categories", kCategoriesProgId, true, true, kTransactionNotSupported, "{67B2387E-7DFB-4112-9F8E-B1E0EBF4EF93}",
     "_Categories", "{AB4695E3-9263-4347-B170-549CC8B2E3D0}"},
}};

// The class of that name, or nullptr (names compare case-insensitively).
const ComponentClass* FindComponentClass(std::string_view class_name);
// The class registered under `prog_id`, or nullptr when no class of the
// component has that ProgID (case-insensitive).
const ComponentClass* FindClassByProgId(std::string_view prog_id);

// Registers `factory` under `prog_id` for CreateObject. Only the ProgIDs of
// the creatable classes are accepted: anything else registers nothing and
// returns false, so that the data holders can never be created by name.
bool RegisterCreatableClass(std::string_view prog_id, ObjectFactory factory);

}  // namespace trelix
