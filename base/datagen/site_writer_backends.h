#pragma once
// The engine-specific writers behind SiteWriter::Open (internal to datagen).

#include <memory>
#include <string>

#include "base/datagen/site_writer.h"

namespace trelix::datagen::internal {

// `directory` as written after "sqlite:"; names already validated.
Result<std::unique_ptr<SiteWriter>> OpenSqliteSiteWriter(const std::string& directory, const std::string& project,
                                                         const std::string& specs);

// `conninfo` is what libpq receives; names already validated.
Result<std::unique_ptr<SiteWriter>> OpenPostgresSiteWriter(const std::string& conninfo, const std::string& project,
                                                           const std::string& specs);

}  // namespace trelix::datagen::internal
