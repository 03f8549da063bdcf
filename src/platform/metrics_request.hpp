#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace talvero {

// The answer to one request of the metrics endpoint.
struct MetricsAnswer {
  unsigned status = 200;
  std::string contentType;
  std::string body;
  bool allowGetOnly = false;  // 405: the Allow header names GET
};

// GET /metrics (a query is ignored) gives render's text; any other target is
// 404, any other method on /metrics 405. render runs only for a GET.
MetricsAnswer AnswerMetricsRequest(std::string_view method, std::string_view target,
                                   const std::function<std::string()>& render);

// The answer to a request that could not be read.
MetricsAnswer RefuseMetricsRequest(unsigned status, std::string_view why);

}  // namespace talvero
