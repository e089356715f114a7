#include "common/connector_interface.h"

#include "common/object_factory.h"

namespace trelix {

ConnectorRef CreateConnector() { return CreateObjectAs<ConnectorInterface>(kConnectorProgId); }

}  // namespace trelix
