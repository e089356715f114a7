-- wrk script for scripts/load: every connection cycles through a mix of the
-- site's calls (spec sheets, key advantages, feature comparisons,
-- descriptions, currency texts), with and without the cache, starting at a
-- different point so the mix is spread evenly at any moment. Any answer
-- other than 2xx is counted; the first few are printed at the end with
-- their bodies (wrk does not tell which request an answer belongs to).

local paths = {
  "/api/specs?category=ENG&language=1&vehicle=1001",
  "/api/specs?category=ENG&language=1&vehicle=1004&options=12,15&cache=7",
  "/api/specs?language=3&vehicle=1003&options=30&cache=7",
  "/api/specs?category=ENG&language=5&vehicle=1002&segmentation=2",
  "/api/compare?vehicles=1001,1004&language=1&currencies=EUR&option-price-field=msrp",
  "/api/compare?vehicles=1002,1005&language=3&currencies=EUR,GBP&option-price-field=msrp&cache=7",
  "/api/compare?vehicles=1001,1004&category=&language=1&currencies=EUR,GBP&option-price-field=msrp"
    .. "&base-options=12&competitor-options=&optional-advantages=true",
  "/api/features?vehicles=1001,1002,1004&language=1",
  "/api/features?vehicles=1001,1004,1006&language=3&primary=1001",
  "/api/descriptions?category=ENG&language=1",
  "/api/descriptions?language=3&cache=7",
  "/api/standard-descriptions?category=ENG&language=1&vehicles=1001,1004",
  "/api/advantage-descriptions?language=1&cache=7",
  "/api/advantage-specs?vehicles=1001,1004&language=1&price-field=msrp",
  "/api/format-currency?currencies=EUR&price=24950&language=3",
  "/api/format-currency?currencies=EUR,GBP&price=1234.5&language=1",
  "/api/convert-currency?to=GBP&price=24950&from=EUR",
}

local threads = {}
local counter = 0

function setup(thread)
  counter = counter + 1
  thread:set("id", counter)
  table.insert(threads, thread)
end

function init(args)
  next_path = (id * 7) % #paths
  failures = 0
  failed_answers = {}
end

function request()
  next_path = next_path % #paths + 1
  return wrk.format("GET", paths[next_path])
end

function response(status, headers, body)
  if status < 200 or status > 299 then
    failures = failures + 1
    if #failed_answers < 3 then
      table.insert(failed_answers, string.format("%d %s", status, string.sub(body or "", 1, 300)))
    end
  end
end

function done(summary, latency, requests)
  local failed = 0
  for _, thread in ipairs(threads) do
    failed = failed + thread:get("failures")
    for _, answer in ipairs(thread:get("failed_answers")) do
      io.write("failed: " .. string.gsub(answer, "\n", " ") .. "\n")
    end
  end
  io.write(string.format("requests: %d\n", summary.requests))
  io.write(string.format("non_2xx: %d\n", failed))
  io.write(string.format("socket_errors: %d\n", summary.errors.connect + summary.errors.read +
    summary.errors.write + summary.errors.timeout))
  io.write(string.format("req_per_s: %.1f\n", summary.requests / (summary.duration / 1e6)))
  io.write(string.format("latency_p50_ms: %.2f\n", latency:percentile(50) / 1000))
  io.write(string.format("latency_p99_ms: %.2f\n", latency:percentile(99) / 1000))
  io.write(string.format("latency_max_ms: %.2f\n", latency.max / 1000))
end
