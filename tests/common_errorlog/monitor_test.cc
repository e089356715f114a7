// The local monitor: captions, binding, and what the error log sends it.

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <future>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "common/error_monitor.h"
#include "common/modVelloxLITE.h"

namespace trelix {
namespace {

using std::chrono::milliseconds;

std::string UniqueCaption() { return "Brantel Vellox - test " + std::to_string(::getpid()); }

TEST(MonitorTest, Captions) {
  const std::pair<const char*, bool> cases[] = {  // a caption, whether it names a monitor
      {"Brantel Vellox", true},           {"Brantel Vellox - site 2", true}, {"Brantel Vellox -", true},
      {"Brantel Vellox-", false},         {"Brantel Vellox 2", false},       {"brantel vellox", false},
      {" Brantel Vellox", false},         {"Brantel Vellox ", false},        {"", false},
  };
  for (const auto& [caption, monitor] : cases) EXPECT_EQ(IsMonitorCaption(caption), monitor) << caption;
}

TEST(MonitorTest, Binding) {
  EXPECT_EQ(MonitorEndpoint::Bind("Some Other Window").status().code(), Status::Code::kInvalidArgument);
  EXPECT_EQ(MonitorEndpoint::Bind("Brantel Vellox - " + std::string(200, 'x')).status().code(),
            Status::Code::kInvalidArgument);
  const std::string caption = UniqueCaption() + " binding";
  Result<MonitorEndpoint> first = MonitorEndpoint::Bind(caption);
  ASSERT_TRUE(first.ok()) << first.status().message();
  EXPECT_EQ(MonitorEndpoint::Bind(caption).status().code(), Status::Code::kUnavailable);

  MonitorConnection connection = MonitorConnection::Connect(caption);
  ASSERT_TRUE(connection.connected());
  EXPECT_TRUE(connection.Send("hello\r\n"));
  EXPECT_EQ(first->Receive(milliseconds(2000)), "hello\r\n");
  EXPECT_EQ(first->Receive(milliseconds(10)), std::nullopt);
  EXPECT_FALSE(MonitorConnection::Connect(caption + " gone").connected());
}

TEST(MonitorTest, RunMonitorDeliversUntilStopped) {
  const std::string caption = UniqueCaption() + " run";
  std::vector<std::string> received;
  auto monitor = std::async(std::launch::async, [&] {
    return RunMonitor(caption, [&](std::string_view text) {
      received.emplace_back(text);
      return text != "stop";
    });
  });
  MonitorConnection connection;
  for (int attempt = 0; attempt < 200 && !connection.connected(); ++attempt) {
    connection = MonitorConnection::Connect(caption);
    if (!connection.connected()) std::this_thread::sleep_for(milliseconds(10));
  }
  ASSERT_TRUE(connection.connected());
  EXPECT_TRUE(connection.Send("one"));
  EXPECT_TRUE(connection.Send("stop"));
  ASSERT_EQ(monitor.wait_for(std::chrono::seconds(10)), std::future_status::ready);
  EXPECT_TRUE(monitor.get().ok());
  EXPECT_EQ(received, (std::vector<std::string>{"one", "stop"}));
}

// Waits for a message that `wanted` accepts, skipping others (other test
// programs running at the same time may greet the same monitor).
template <class Predicate>
bool ReceiveWanted(const MonitorEndpoint& endpoint, Predicate wanted, milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (std::chrono::steady_clock::now() < deadline) {
    std::optional<std::string> text = endpoint.Receive(milliseconds(50));
    if (text && wanted(*text)) return true;
  }
  return false;
}

TEST(MonitorTest, ErrorLogGreetsAndReportsToTheMonitor) {
  const std::string folder = ::testing::TempDir() + "monitor-" + std::to_string(::getpid());
  std::filesystem::create_directories(folder);
  SetComponentPathOverride(folder + "/trelix_eb.so");
  const std::string tag = "monitor test " + std::to_string(::getpid());
  auto report = [](const std::string& description) {
    try {
      HandleProcedureError("KeyAdvantages", "Function Convert_Currency", ComError(1000, "Conversion", description));
    } catch (const ComError&) {
    }
  };

  // A thread that looked before the monitor started never sees it.
  std::promise<void> looked, monitor_up;
  std::thread early([&] {
    report(tag + " early 1");
    looked.set_value();
    monitor_up.get_future().wait();
    report(tag + " early 2");
  });
  looked.get_future().wait();

  Result<MonitorEndpoint> endpoint = MonitorEndpoint::Bind(UniqueCaption());
  ASSERT_TRUE(endpoint.ok()) << endpoint.status().message();
  monitor_up.set_value();
  early.join();

  std::thread late([&] { report(tag + " late"); });
  late.join();

  const std::regex banner(R"(trelix_eb START VELLOX 6\.60 LITE \d{2}-\d{2}-\d{4},\d{2}:\d{2}:\d{2}\r\n)");
  EXPECT_TRUE(ReceiveWanted(
      endpoint.value(), [&](const std::string& text) { return std::regex_match(text, banner); }, milliseconds(3000)));
  const std::string line =
      "[trelix_eb] ERROR 1000 \"" + tag + " late\" at KeyAdvantages : Function Convert_Currency : 0\r\n";
  EXPECT_TRUE(ReceiveWanted(
      endpoint.value(), [&](const std::string& text) { return text == line; }, milliseconds(3000)));
  EXPECT_FALSE(ReceiveWanted(
      endpoint.value(), [&](const std::string& text) { return text.find(tag + " early") != std::string::npos; },
      milliseconds(300)));

  SetComponentPathOverride(std::nullopt);
  std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace trelix
