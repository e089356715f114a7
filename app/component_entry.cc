// The component library's entry: what registration and class-object lookup
// did for the in-process server. Loading trelix_eb.so registers the ProgIDs
// of the three creatable classes and of the connector, so that a host can
// CreateObject them by name at once.

#include "base/connector.h"
#include "ebrochure/categories.h"
#include "features/vehicle_features.h"
#include "keyadvantages/key_advantages.h"

namespace {

struct ComponentRegistration {
  ComponentRegistration() {
    trelix::base::RegisterConnector();
    trelix::RegisterKeyAdvantagesClass();
    trelix::RegisterCategoriesClass();
    trelix::RegisterVehicleFeaturesClass();
  }
};

const ComponentRegistration registration;

}  // namespace
