#include <gtest/gtest.h>

#include <memory>
#include <nlohmann/json.hpp>
#include <stdexcept>

#include "platform/web_channel_message.hpp"
#include "platform/web_core.hpp"
#include "support/recording_logger.hpp"

namespace talvero {
namespace {

using nlohmann::json;
using testing::RecordingLogger;

// A page's session without a socket: keeps what is sent to it.
class RecordingSession final : public WebChannelSession {
 public:
  bool Send(std::shared_ptr<const std::string> text) override {
    if (closed) {
      return false;
    }
    sent.push_back(json::parse(*text));
    return true;
  }
  void Close() override { closed = true; }

  std::vector<json> sent;
  bool closed = false;
};

class WebChannelTest : public ::testing::Test {
 protected:
  WebChannelTest() {
    core.SetHandlers({
        .opened = [this](WebSessionId id) { events.push_back("opened " + std::to_string(id)); },
        .message =
            [this](WebSessionId id, const json& message) {
              if (message["type"] == "fail") {
                throw std::runtime_error("handler failed");
              }
              // A handler reads the fields it needs; a wrong shape throws.
              const int row = message.at("row").get<int>();
              events.push_back("message " + std::to_string(id) + " row " + std::to_string(row));
            },
        .closed = [this](WebSessionId id) { events.push_back("closed " + std::to_string(id)); },
    });
  }

  WebSessionId Open(const std::shared_ptr<RecordingSession>& session) {
    core.Admit(session);
    return core.OpenSession(session);
  }

  RecordingLogger log;
  WebCore core{WebRequestHandler(WebAccess("127.0.0.1:1", "t"), {}), log, WebLimits{}};
  std::vector<std::string> events;
};

TEST_F(WebChannelTest, BadMessagesAreAnsweredWithAnErrorAndReachNoHandler) {
  const auto page = std::make_shared<RecordingSession>();
  const WebSessionId id = Open(page);
  const std::pair<std::string, std::string> cases[] = {
      {"", "message is not JSON"},
      {"{", "message is not JSON"},
      {"{\"type\":\"x\"} trailing", "message is not JSON"},
      {"\xff\xfe", "message is not JSON"},
      {"{\"type\":\"\xc3\x28\"}", "message is not JSON"},
      {"[1,2]", "message is not a JSON object"},
      {"\"text\"", "message is not a JSON object"},
      {"42", "message is not a JSON object"},
      {"{}", "message has no \"type\" text"},
      {"{\"type\":7}", "message has no \"type\" text"},
      {"{\"type\":\"\"}", "message has no \"type\" text"},
      {"{\"type\":null}", "message has no \"type\" text"},
      {std::string(33, '[') + std::string(33, ']'), "message nested too deeply"},
      {"{\"type\":\"x\",\"a\":" + std::string(40, '[') + std::string(40, ']') + "}",
       "message nested too deeply"},
  };
  for (const auto& [text, error] : cases) {
    SCOPED_TRACE(text);
    page->sent.clear();
    core.Receive(id, text, true);
    ASSERT_EQ(page->sent.size(), 1u);
    EXPECT_EQ(page->sent[0], (json{{"type", "error"}, {"error", error}}));
  }
  core.Receive(id, "{\"type\":\"x\",\"row\":1}", false);
  EXPECT_EQ(page->sent.back(),
            (json{{"type", "error"}, {"error", "binary messages are not taken"}}));
  EXPECT_EQ(events, std::vector<std::string>{"opened 1"});
  EXPECT_TRUE(log.entries.empty());
}

TEST_F(WebChannelTest, BracketsInsideStringsDoNotCountAsNesting) {
  const auto page = std::make_shared<RecordingSession>();
  const WebSessionId id = Open(page);
  const std::string deepText =
      "{\"type\":\"t\",\"row\":3,\"s\":\"" + std::string(100, '[') + "\\\"[\"}";
  core.Receive(id, deepText, true);
  EXPECT_TRUE(page->sent.empty());
  EXPECT_EQ(events.back(), "message 1 row 3");
}

TEST_F(WebChannelTest, AFailingHandlerIsReportedAndAnsweredWithTheRequestsId) {
  const auto page = std::make_shared<RecordingSession>();
  const WebSessionId id = Open(page);
  core.Receive(id, R"({"type":"fail","id":17})", true);
  core.Receive(id, R"({"type":"select","id":"a","row":"not a number"})", true);
  ASSERT_EQ(page->sent.size(), 2u);
  EXPECT_EQ(
      page->sent[0],
      (json{{"type", "error"}, {"error", "handler failed"}, {"id", 17}, {"request", "fail"}}));
  EXPECT_EQ(page->sent[1]["id"], "a");
  EXPECT_EQ(page->sent[1]["request"], "select");
  EXPECT_EQ(log.ErrNames(), (std::vector<std::string>{"WebChannel", "WebChannel"}));
}

TEST_F(WebChannelTest, SendReachesOnePageAndBroadcastEveryPage) {
  const auto first = std::make_shared<RecordingSession>();
  const auto second = std::make_shared<RecordingSession>();
  const WebSessionId one = Open(first);
  const WebSessionId two = Open(second);
  core.Receive(two, R"({"type":"select","row":5})", true);
  EXPECT_EQ(events, (std::vector<std::string>{"opened 1", "opened 2", "message 2 row 5"}));

  EXPECT_TRUE(core.Send(one, {{"type", "only"}}));
  core.Broadcast({{"type", "all"}});
  EXPECT_EQ(first->sent, (std::vector<json>{{{"type", "only"}}, {{"type", "all"}}}));
  EXPECT_EQ(second->sent, (std::vector<json>{{{"type", "all"}}}));

  core.SessionClosed(one);
  EXPECT_EQ(events.back(), "closed 1");
  EXPECT_FALSE(core.Send(one, {{"type", "late"}}));
  EXPECT_EQ(core.SessionCount(), 1u);
}

TEST_F(WebChannelTest, StopClosesEveryConnectionAndCallsNoHandlerAfterwards) {
  const auto page = std::make_shared<RecordingSession>();
  const WebSessionId id = Open(page);
  core.Stop();
  EXPECT_TRUE(page->closed);
  core.Receive(id, R"({"type":"select","row":1})", true);
  core.SessionClosed(id);
  EXPECT_EQ(events, std::vector<std::string>{"opened 1"});
  EXPECT_FALSE(core.Admit(std::make_shared<RecordingSession>()));
}

TEST_F(WebChannelTest, StopMayBeCalledFromInsideAHandler) {
  core.SetHandlers({.opened = {},
                    .message = [this](WebSessionId, const json&) { core.Stop(); },
                    .closed = [this](WebSessionId) { events.push_back("closed"); }});
  const auto page = std::make_shared<RecordingSession>();
  const WebSessionId id = Open(page);
  core.Receive(id, R"({"type":"close"})", true);
  EXPECT_TRUE(page->closed);
  core.SessionClosed(id);
  EXPECT_TRUE(events.empty());
}

TEST_F(WebChannelTest, ConnectionsBeyondTheLimitAreRefused) {
  WebLimits limits;
  limits.connections = 2;
  WebCore small(WebRequestHandler(WebAccess("127.0.0.1:1", "t"), {}), log, limits);
  const auto a = std::make_shared<RecordingSession>();
  const auto b = std::make_shared<RecordingSession>();
  const auto c = std::make_shared<RecordingSession>();
  EXPECT_TRUE(small.Admit(a));
  EXPECT_TRUE(small.Admit(b));
  EXPECT_FALSE(small.Admit(c));
  small.Forget(a.get());
  EXPECT_TRUE(small.Admit(c));
}

TEST(WebChannelText, TextThatIsNotUtf8IsSentWithReplacementCharacters) {
  const std::string text = ChannelText({{"type", "line"}, {"text", "frame \xff\x01 end"}});
  EXPECT_EQ(text, "{\"text\":\"frame \xef\xbf\xbd\\u0001 end\",\"type\":\"line\"}");
}

}  // namespace
}  // namespace talvero
