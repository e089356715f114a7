#include "app/http_service.h"

#include <httplib.h>
#include <sys/socket.h>

#include <algorithm>
#include <chrono>
#include <map>
#include <memory>
#include <csignal>
#include <iostream>
#include <mutex>
#include <nlohmann/json.hpp>
#include <thread>

#include "app/http_compression.h"
#include "app/http_metrics.h"
#include "app/output.h"
#include "app/query_string.h"
#include "app/site_assets.h"
#include "common/recordset_json.h"

namespace trelix::app {
namespace {

using Json = nlohmann::json;
using Clock = std::chrono::steady_clock;

std::atomic<bool> signalled{false};

void OnSignal(int) { signalled.store(true); }

std::string Dump(const Json& json) { return json.dump(-1, ' ', false, Json::error_handler_t::replace); }

std::string ArgumentErrorJson(const std::string& parameter, const std::string& message) {
  return Dump(Json{{"error", {{"parameter", parameter}, {"message", message}}}});
}

// 404 is used in exactly three cases: a path under /api/ that names no
// operation; an argument that is well-formed but names nothing in the site's
// data, found before the call (a feature category or segment without
// features); and the component's error 3021, "no current record", which it
// raises when a row it must read is not there (a sheet category the site
// does not have, a currency without a rate). Every other component error
// is 500.
constexpr int32_t kNoCurrentRecord = 3021;

const char* TypeOfKind(ArgKind kind) {
  switch (kind) {
    case ArgKind::kInt16:
    case ArgKind::kInt32:
      return "integer";
    case ArgKind::kNumber:
      return "number";
    case ArgKind::kFlag:
      return "boolean";
    default:
      return "string";
  }
}

using SharedText = std::shared_ptr<const std::string>;

// Sends `text` as the body without a copy. Bodies of compressible types
// always go this way: the HTTP library compresses only bodies set as
// content, and would do it at its slowest setting.
void SendShared(httplib::Response& res, SharedText text, const std::string& content_type) {
  if (text->empty()) {
    res.set_content("", content_type);
    return;
  }
  const size_t size = text->size();
  res.set_content_provider(size, content_type,
                           [text = std::move(text)](size_t offset, size_t length, httplib::DataSink& sink) {
                             return sink.write(text->data() + offset, std::min(length, text->size() - offset));
                           });
}

// The coding an answer of `size` bytes goes out in, with its headers set.
ContentCoding NegotiateCoding(const httplib::Request& req, httplib::Response& res, const std::string& content_type,
                              size_t size, Effort effort) {
  // An answer replaced by an error answer starts over.
  res.headers.erase("Content-Encoding");
  res.headers.erase("Vary");
  if (!IsCompressible(content_type)) return ContentCoding::kIdentity;
  res.set_header("Vary", "Accept-Encoding");
  if (size < kCompressMin) return ContentCoding::kIdentity;
  const ContentCoding coding = ChooseCoding(req.get_header_value("Accept-Encoding"), effort);
  if (coding != ContentCoding::kIdentity) res.set_header("Content-Encoding", CodingName(coding));
  return coding;
}

// Any answer made for this request: compressed per answer when the client
// accepts it and the body is worth it.
void Send(const httplib::Request& req, httplib::Response& res, std::string body, const std::string& content_type) {
  if (!IsCompressible(content_type)) {
    res.set_content(std::move(body), content_type);
    return;
  }
  const ContentCoding coding = NegotiateCoding(req, res, content_type, body.size(), Effort::kPerAnswer);
  if (coding != ContentCoding::kIdentity) body = Compress(body, coding, Effort::kPerAnswer);
  SendShared(res, std::make_shared<const std::string>(std::move(body)), content_type);
}

// A recordset answer in JSON: the text (and its compressed form) of a
// cached result is made once and kept with it.
void SendRecordsetJson(const httplib::Request& req, httplib::Response& res, Recordset& recordset) {
  const std::string content_type = "application/json";
  SharedText json = RecordsetToJsonText(recordset);
  const Effort effort = KeepsDerivedTexts(recordset) ? Effort::kOnce : Effort::kPerAnswer;
  const ContentCoding coding = NegotiateCoding(req, res, content_type, json->size() + 1, effort);
  if (coding == ContentCoding::kIdentity) {
    // The line, newline included, is kept too: one send of the body, not a
    // second one for its last byte.
    SendShared(res, RecordsetDerivedText(recordset, "line", [](const std::string& text) { return text + "\n"; }),
               content_type);
    return;
  }
  SendShared(res,
             RecordsetDerivedText(recordset, CodingName(coding),
                                  [coding, effort](const std::string& text) {
                                    return Compress(text + "\n", coding, effort);
                                  }),
             content_type);
}

// The demo pages never change: each is compressed once per coding.
class CompressedAssets {
 public:
  void Send(const httplib::Request& req, httplib::Response& res, const SiteAsset& asset) {
    const std::string content_type(asset.content_type);
    if (!IsCompressible(content_type)) {
      res.set_content(std::string(asset.content), content_type);
      return;
    }
    const ContentCoding coding = NegotiateCoding(req, res, content_type, asset.content.size(), Effort::kOnce);
    SharedText text;
    {
      std::lock_guard lock(mu_);
      SharedText& kept = kept_[{&asset, coding}];
      if (!kept) kept = std::make_shared<const std::string>(Compress(asset.content, coding, Effort::kOnce));
      text = kept;
    }
    SendShared(res, std::move(text), content_type);
  }

 private:
  std::mutex mu_;
  std::map<std::pair<const SiteAsset*, ContentCoding>, SharedText> kept_;
};

// Whether an operation's own arguments include "format" (format-advantage):
// then ?format= is that argument, not the output form.
bool HasFormatArgument(const OperationSpec& spec) {
  for (const ArgSpec& arg : spec.args) {
    if (arg.name == "format") return true;
  }
  return false;
}

class Service {
 public:
  explicit Service(const ServiceOptions& options) : options_(options) {}

  void Install(httplib::Server& server) {
    server.new_task_queue = [threads = options_.threads] {
      return new httplib::ThreadPool(static_cast<size_t>(threads > 0 ? threads : 1));
    };
    server.set_payload_max_length(64 * 1024);
    server.set_read_timeout(options_.read_timeout_seconds, 0);
    server.Get("/health", [this](const httplib::Request& req, httplib::Response& res) {
      Timed("health", res, [&] { Send(req, res, "ok", "text/plain"); });
    });
    server.Get("/metrics", [this](const httplib::Request& req, httplib::Response& res) {
      Send(req, res, metrics_.Render(), "text/plain; version=0.0.4");
    });
    server.Get("/api/openapi.json", [](const httplib::Request& req, httplib::Response& res) {
      Send(req, res, OpenApiDocument(), "application/json");
    });
    server.Get(R"(/api/([a-z-]+))", [this](const httplib::Request& req, httplib::Response& res) {
      HandleOperation(req, res);
    });
    for (const SiteAsset& asset : SiteAssets()) {
      std::string path(asset.path);
      server.Get(path, [this, &asset](const httplib::Request& req, httplib::Response& res) {
        assets_.Send(req, res, asset);
      });
    }
    server.set_logger([this](const httplib::Request& req, const httplib::Response& res) {
      if (!options_.access_log) return;
      Json line = {{"time", std::chrono::duration_cast<std::chrono::milliseconds>(
                                std::chrono::system_clock::now().time_since_epoch())
                                .count()},
                   {"remote", req.remote_addr},
                   {"method", req.method},
                   {"path", req.path},
                   {"status", res.status},
                   {"bytes", res.body.empty() ? res.content_length_ : res.body.size()}};
      std::string text = Dump(line) + "\n";
      std::lock_guard lock(log_mutex_);
      std::cerr << text << std::flush;
    });
  }

 private:
  template <class Body>
  void Timed(const std::string& operation, httplib::Response& res, Body&& body) {
    auto start = Clock::now();
    body();
    metrics_.RecordRequest(operation, res.status == -1 ? 200 : res.status,
                           std::chrono::duration<double>(Clock::now() - start).count());
  }

  void HandleOperation(const httplib::Request& req, httplib::Response& res) {
    std::string name = req.matches[1];
    const OperationSpec* spec = FindOperation(name);
    if (!spec) {
      res.status = 404;
      Send(req, res, ArgumentErrorJson("operation", "there is no operation " + name), "application/json");
      return;
    }
    Timed(name, res, [&] { Answer(*spec, req, res); });
  }

  void Answer(const OperationSpec& spec, const httplib::Request& req, httplib::Response& res) {
    if (req.target.size() > options_.max_query_bytes) {
      res.status = 414;
      Send(req, res, ArgumentErrorJson("query", "the query string is too long"), "application/json");
      return;
    }
    // The raw query, not the library's parsed params: those split "a=b=c"
    // at the last "=" and merge repeated identical pairs.
    QueryString query = ParseQueryString(QueryOfTarget(req.target));
    if (!query.ok()) {
      res.status = 400;
      Send(req, res, ArgumentErrorJson(*query.error_parameter, query.error_message), "application/json");
      return;
    }
    OutputFormat format = OutputFormat::kJson;
    RawArgs args = std::move(query.params);
    if (!HasFormatArgument(spec)) {
      auto given = args.find("format");
      if (given != args.end()) {
        if (!ParseOutputFormat(given->second, &format) || format == OutputFormat::kTable) {
          res.status = 400;
          Send(req, res, ArgumentErrorJson("format", "must be json or xml"), "application/json");
          return;
        }
        args.erase(given);
      }
    }
    std::optional<ArgumentError> problem = ValidateArguments(spec, args);
    if (!problem) problem = CheckArgumentsAgainstData(spec, args, options_.host);
    if (problem) {
      res.status = problem->not_found ? 404 : 400;
      Send(req, res, ArgumentErrorJson(problem->parameter, problem->message), "application/json");
      return;
    }
    try {
      OperationResult result = RunOperation(spec, args, options_.host);
      metrics_.RecordVotes(result.votes_complete, result.votes_abort);
      if (format == OutputFormat::kXml && result.kind != OperationResult::Kind::kRecordset) {
        res.status = 400;
        Send(req, res, ArgumentErrorJson("format", "xml is only for operations that return a recordset"),
             "application/json");
        return;
      }
      if (result.kind == OperationResult::Kind::kRecordset && format == OutputFormat::kJson) {
        SendRecordsetJson(req, res, *result.recordset);
      } else {
        Send(req, res, RenderResult(result, format),
             format == OutputFormat::kXml ? "application/xml; charset=utf-8" : "application/json");
      }
    } catch (const ComError& error) {
      metrics_.RecordComponentError(error.number());
      res.status = error.number() == kNoCurrentRecord ? 404 : 500;
      Send(req, res, ErrorJson(error), "application/json");
    } catch (const std::exception& error) {
      // Anything else is a fault of ours; its text stays in the log.
      metrics_.RecordComponentError(0);
      {
        std::lock_guard lock(log_mutex_);
        std::cerr << "trelix_eb: internal error in " << spec.name << ": " << error.what() << "\n";
      }
      res.status = 500;
      Send(req, res, ErrorJson(ComError(440, kComponentName, "Internal error")), "application/json");
    }
  }

  ServiceOptions options_;
  ServiceMetrics metrics_;
  CompressedAssets assets_;
  std::mutex log_mutex_;
};

}  // namespace

std::string OpenApiDocument() {
  Json paths = Json::object();
  auto error_schema = Json{{"type", "object"}, {"properties", {{"error", {{"type", "object"}}}}}};
  for (const OperationSpec& spec : ComponentOperations()) {
    Json parameters = Json::array();
    for (const ArgSpec& arg : spec.args) {
      Json parameter = {{"name", arg.name},
                        {"in", "query"},
                        {"required", arg.required},
                        {"description", arg.help},
                        {"schema", {{"type", TypeOfKind(arg.kind)}}}};
      if (!arg.default_value.empty()) parameter["schema"]["default"] = arg.default_value;
      parameters.push_back(parameter);
    }
    if (!HasFormatArgument(spec)) {
      parameters.push_back({{"name", "format"},
                            {"in", "query"},
                            {"required", false},
                            {"description", "json (default) or xml: the recordset XML persistence text"},
                            {"schema", {{"type", "string"}, {"enum", {"json", "xml"}}}}});
    }
    paths["/api/" + spec.name] = {
        {"get",
         {{"summary", spec.summary},
          {"operationId", spec.name},
          {"parameters", parameters},
          {"responses",
           {{"200", {{"description", "the result"}}},
            {"400", {{"description", "a rejected parameter"}, {"content", {{"application/json", {{"schema", error_schema}}}}}}},
            {"404", {{"description", "an argument names nothing in the site's data (parameter, message), or the "
                                     "component's error 3021 \"no current record\" (number, source, description)"}}},
            {"500", {{"description", "a component error: number, source, description"}}}}}}}};
  }
  paths["/health"] = {{"get", {{"summary", "Liveness: answers ok"}, {"responses", {{"200", {{"description", "ok"}}}}}}}};
  paths["/metrics"] = {
      {"get", {{"summary", "Prometheus metrics"}, {"responses", {{"200", {{"description", "metrics text"}}}}}}}};
  Json document = {{"openapi", "3.0.3"},
                   {"info", {{"title", "trelix_eb"}, {"version", "2005.2.8"}}},
                   {"paths", paths}};
  return Dump(document);
}

Status RunService(const ServiceOptions& options, const std::function<void(int port)>& on_listening,
                  const std::atomic<bool>* stop) {
  httplib::Server server;
  Service service(options);
  service.Install(server);
  // Small answers go out at once instead of waiting for the client's delayed
  // ACK (Nagle), which otherwise adds ~40 ms to every second request on a
  // kept-alive connection.
  server.set_tcp_nodelay(true);
  // Each connection holds a worker until it closes; letting it serve more
  // requests spares clients the reconnect (and the accept queue the burst).
  server.set_keep_alive_max_count(1000);
  int listening_socket = -1;
  server.set_socket_options([&listening_socket](socket_t sock) {
    httplib::default_socket_options(sock);
    listening_socket = sock;
  });

  int port = options.port;
  if (port == 0) {
    port = server.bind_to_any_port(options.bind);
  } else if (!server.bind_to_port(options.bind, port)) {
    port = -1;
  }
  if (port < 0) return Status::IOError("cannot listen on " + options.bind + ":" + std::to_string(options.port));
  // The HTTP library listens with a backlog of 5, compiled in: a burst of
  // new connections overflows it and clients retry only after a second.
  // Listening again on the bound socket raises the backlog to the system's.
  if (listening_socket >= 0) ::listen(listening_socket, SOMAXCONN);

  signalled.store(false);
  auto previous_term = std::signal(SIGTERM, OnSignal);
  auto previous_int = std::signal(SIGINT, OnSignal);
  // Stopping closes the listening socket; the worker pool then finishes the
  // requests it has before listen_after_bind returns.
  std::thread watcher([&] {
    while (!signalled.load() && !(stop && stop->load())) {
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    server.stop();
  });
  if (on_listening) on_listening(port);
  server.listen_after_bind();
  signalled.store(true);
  watcher.join();
  std::signal(SIGTERM, previous_term);
  std::signal(SIGINT, previous_int);
  return Status::Ok();
}

}  // namespace trelix::app
