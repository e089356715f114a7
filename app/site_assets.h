#pragma once
// The demo pages (app/site/), embedded into the binary at build time so the
// service needs no files beside it and no external resources.

#include <string_view>
#include <vector>

namespace trelix::app {

struct SiteAsset {
  std::string_view path;          // "/", "/app.js", ...
  std::string_view content_type;  // "text/html; charset=utf-8", ...
  std::string_view content;
};

const std::vector<SiteAsset>& SiteAssets();

}  // namespace trelix::app
