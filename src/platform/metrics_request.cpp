#include "platform/metrics_request.hpp"

namespace talvero {
namespace {

constexpr std::string_view kPlainText = "text/plain; charset=utf-8";
constexpr std::string_view kExposition = "text/plain; version=0.0.4; charset=utf-8";

}  // namespace

MetricsAnswer AnswerMetricsRequest(std::string_view method, std::string_view target,
                                   const std::function<std::string()>& render) {
  const std::string_view path = target.substr(0, target.find('?'));
  if (path != "/metrics") {
    return RefuseMetricsRequest(404, "Only /metrics is served here.");
  }
  if (method != "GET") {
    MetricsAnswer answer = RefuseMetricsRequest(405, "/metrics takes GET only.");
    answer.allowGetOnly = true;
    return answer;
  }
  return {200, std::string(kExposition), render(), false};
}

MetricsAnswer RefuseMetricsRequest(unsigned status, std::string_view why) {
  return {status, std::string(kPlainText), std::string(why) + "\n", false};
}

}  // namespace talvero
