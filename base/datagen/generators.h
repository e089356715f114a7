#pragma once
// The three ways to make a site's databases (project and specs):
//
//   CreateDemoSite   a small fictional site that exercises every rule of the
//                    spec sheet, the key advantages and the feature
//                    comparison (vehicle ids 1001..1008; see demo_site.cc for
//                    which rows serve which rule).
//   ImportEpa        a real-data site from the public fuel-economy table
//                    (vehicles.csv or the zip that holds it).
//   GenerateScaled   synthetic data of the same shape in any size, for
//                    benchmarks; deterministic for a given seed.
//
// `connection` is "sqlite:DIR" (files DIR/PROJECT.sqlite, DIR/SPECS.sqlite)
// or "postgresql:..." (schemas PROJECT and SPECS); see site_writer.h. Any
// previous databases of the same names are replaced only when the whole site
// has been written; on failure they stay as they were.
//
// Errors (Status codes): InvalidArgument for bad names, options or
// connection strings; NotFound for a missing input file; Corruption for an
// input file that does not have the expected columns; IOError for files or
// servers that fail; Unavailable for a server that cannot be reached.

#include <cstdint>
#include <string>
#include <string_view>

#include "common/status.h"

namespace trelix::datagen {

inline constexpr std::string_view kDefaultProjectName = "demo_project";
inline constexpr std::string_view kDefaultSpecsName = "demo_specs";

// Creates the demo site.
Status CreateDemoSite(std::string_view connection, std::string_view project_name = kDefaultProjectName,
                      std::string_view specs_name = kDefaultSpecsName);

struct EpaImportOptions {
  std::string project_name = "epa_project";
  std::string specs_name = "epa_specs";
  // Import only the first N vehicles of the file (0: all). Tests use a slice.
  int64_t max_vehicles = 0;
};

struct EpaImportStats {
  int64_t vehicles = 0;
  int64_t equipment_rows = 0;
  int64_t competitor_sets = 0;
  int64_t derived_options = 0;  // alternative-fuel options, labelled derived
  int64_t skipped_rows = 0;     // CSV rows without a usable id, year, make or model
};

// Imports `path`: either the CSV itself or a .zip holding vehicles.csv (read
// through the `unzip` tool). Vehicle ids are the file's own `id` values.
Result<EpaImportStats> ImportEpa(std::string_view path, std::string_view connection,
                                 const EpaImportOptions& options = {});

struct ScaleOptions {
  std::string project_name = "bench_project";
  std::string specs_name = "bench_specs";
  int64_t vehicles = 10000;  // vehicle ids 100001 .. 100000 + vehicles
  int64_t lines = 1000;      // sheet lines, one item each (10 .. 22000)
  // Equipment rows per vehicle, as a multiple of `lines`: up to 1.0 the share
  // of lines with a standard row; above 1.0 the excess are option rows. Option
  // rows of 5% of factor x lines come on top. A vehicle holds at most 32767
  // rows (record ids are 16-bit on the sheet).
  double rows_per_vehicle = 1.0;
  uint64_t seed = 20050208;
};

struct ScaleStats {
  int64_t vehicles = 0;
  int64_t lines = 0;
  int64_t equipment_rows = 0;
};

// Generates a synthetic site. InvalidArgument for vehicles < 2, lines < 10 or
// a factor that is not positive or would exceed 32767 rows per vehicle.
Result<ScaleStats> GenerateScaled(std::string_view connection, const ScaleOptions& options);

}  // namespace trelix::datagen
