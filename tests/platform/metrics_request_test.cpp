#include "platform/metrics_request.hpp"

#include <gtest/gtest.h>

namespace talvero {
namespace {

TEST(MetricsRequest, ServesGetOfMetricsOnly) {
  struct Case {
    const char* method;
    const char* target;
    unsigned status;
    bool rendered;
  };
  const Case cases[] = {
      {"GET", "/metrics", 200, true},   {"GET", "/metrics?name[]=up", 200, true},
      {"GET", "/", 404, false},         {"GET", "/metrics/", 404, false},
      {"GET", "/metricsx", 404, false}, {"GET", "metrics", 404, false},
      {"POST", "/metrics", 405, false}, {"HEAD", "/metrics", 405, false},
      {"DELETE", "/other", 404, false},
  };
  for (const auto& c : cases) {
    bool rendered = false;
    const MetricsAnswer answer = AnswerMetricsRequest(c.method, c.target, [&] {
      rendered = true;
      return std::string("talvero_units_in_use 1\n");
    });
    EXPECT_EQ(answer.status, c.status) << c.method << " " << c.target;
    EXPECT_EQ(rendered, c.rendered) << c.method << " " << c.target;
    EXPECT_EQ(answer.allowGetOnly, c.status == 405);
    if (c.rendered) {
      EXPECT_EQ(answer.contentType, "text/plain; version=0.0.4; charset=utf-8");
      EXPECT_EQ(answer.body, "talvero_units_in_use 1\n");
    } else {
      EXPECT_EQ(answer.contentType, "text/plain; charset=utf-8");
      EXPECT_FALSE(answer.body.empty());
    }
  }
}

}  // namespace
}  // namespace talvero
