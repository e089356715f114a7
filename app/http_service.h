#pragma once
// The HTTP service: the component's operations for the site's pages (or any
// backend) under GET /api/<operation>, with the same argument names as the
// CLI; /health, /metrics, /api/openapi.json and the demo pages at /.
//
// Every call runs on a worker thread, on an object created for it there,
// inside an object context, as the application server hosted the component.
// Connection string and database names come from the configuration only.
//
// Answers: 200 with JSON (or the recordset XML with ?format=xml); 400 with
// {"error":{"parameter":…,"message":…}} for a rejected argument; 404 for an
// unknown operation, for an argument naming nothing in the site's data (both
// with parameter and message) and for the component's "no current record"
// (with the error triple); 500 with the error triple for every other
// component error.

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

#include "app/operations.h"
#include "common/status.h"

namespace trelix::app {

struct ServiceOptions {
  std::string bind = "127.0.0.1";
  int port = 8080;          // 0: any free port (see on_listening)
  // A worker serves one connection at a time until it closes, so the pool
  // should cover the connections expected to be open at once.
  int threads = 32;
  HostSettings host;
  size_t max_query_bytes = 8192;  // longer query strings are refused (414)
  int read_timeout_seconds = 5;   // a client that sends nothing for this long is dropped
  bool access_log = true;         // one JSON line per request on stderr
};

// Runs the service until `stop` becomes true or SIGTERM/SIGINT arrives;
// requests in flight finish before it returns. `on_listening` is called with
// the bound port once the service accepts connections. IOError when the
// address cannot be bound.
Status RunService(const ServiceOptions& options, const std::function<void(int port)>& on_listening = {},
                  const std::atomic<bool>* stop = nullptr);

// The OpenAPI document of every endpoint, generated from the operations table.
std::string OpenApiDocument();

}  // namespace trelix::app
