// The web server over real loopback sockets, with Beast as the browser: the
// server's loop runs on a thread of its own and the test speaks as a blocking
// client. A watchdog shuts the client sockets down when a test runs too long,
// so a server that fails to answer fails the test instead of hanging it.

#include "platform/web_server.hpp"

#include <gtest/gtest.h>
#include <sys/socket.h>

#include <chrono>
#include <condition_variable>
#include <future>
#include <mutex>
#include <nlohmann/json.hpp>
#include <thread>

#include "platform/beast.hpp"
#include "platform/web_files.hpp"
#include "support/recording_logger.hpp"

namespace talvero {
namespace {

namespace beast = boost::beast;
namespace http = beast::http;
namespace websocket = beast::websocket;
using boost::asio::ip::tcp;
using nlohmann::json;
using namespace std::chrono_literals;

constexpr auto kWait = 5s;
constexpr auto kTestLimit = 10s;

// The client sockets of the running test, for the watchdog.
std::mutex clientMutex;
std::vector<int> clientSockets;

class ClientWatchdog {
 public:
  ClientWatchdog()
      : thread_([this] {
          std::unique_lock lock(mutex_);
          if (!stopped_.wait_for(lock, kTestLimit, [this] { return stop_; })) {
            struck_ = true;
            std::lock_guard clients(clientMutex);
            for (const int fd : clientSockets) {
              ::shutdown(fd, SHUT_RDWR);
            }
          }
        }) {}
  ~ClientWatchdog() {
    {
      std::lock_guard lock(mutex_);
      stop_ = true;
    }
    stopped_.notify_all();
    thread_.join();
    std::lock_guard clients(clientMutex);
    clientSockets.clear();
  }
  bool Struck() {
    std::lock_guard lock(mutex_);
    return struck_;
  }

 private:
  std::mutex mutex_;
  std::condition_variable stopped_;
  bool stop_ = false;
  bool struck_ = false;
  std::thread thread_;
};

// What the host's handlers heard, shared with the test thread.
class Events {
 public:
  void Add(std::string event) {
    {
      std::lock_guard lock(mutex_);
      events_.push_back(std::move(event));
    }
    changed_.notify_all();
  }
  // Waits until an event equal to this one has arrived.
  bool WaitFor(const std::string& event) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, kWait, [&] {
      return std::find(events_.begin(), events_.end(), event) != events_.end();
    });
  }
  bool Has(const std::string& event) {
    std::lock_guard lock(mutex_);
    return std::find(events_.begin(), events_.end(), event) != events_.end();
  }
  std::vector<std::string> All() {
    std::lock_guard lock(mutex_);
    return events_;
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<std::string> events_;
};

// The server on its own event thread. Calls into it go through OnLoop, as the
// hosts' calls come from their event thread.
class ServerThread {
 public:
  explicit ServerThread(WebLimits limits = {})
      : server_(io_, {"127.0.0.1", 0, limits}, log_), work_(io_.get_executor()) {
    server_.SetChannelHandlers({
        .opened =
            [this](WebSessionId id) {
              events.Add("opened " + std::to_string(id));
              server_.Send(id, {{"type", "hello"}, {"session", id}});
            },
        .message =
            [this](WebSessionId id, const json& message) {
              events.Add("message " + std::to_string(id) + " " + message.dump());
              server_.Send(id, {{"type", "echo"}, {"message", message}});
            },
        .closed = [this](WebSessionId id) { events.Add("closed " + std::to_string(id)); },
    });
    server_.AddGetHandler("/data.txt", [](const WebTarget& target) {
      return WebReply::Content("text/plain", "data " + target.Query("n").value_or("-"));
    });
    server_.Start();
    thread_ = std::thread([this] { io_.run(); });
  }
  ~ServerThread() {
    if (thread_.joinable()) {
      Stop();
    }
    EXPECT_FALSE(watchdog_.Struck()) << "a client call waited past the test's limit";
  }

  template <class Call>
  auto OnLoop(Call call) {
    auto task = std::make_shared<std::packaged_task<decltype(call())()>>(std::move(call));
    auto result = task->get_future();
    boost::asio::post(io_, [task] { (*task)(); });
    if (result.wait_for(kWait) != std::future_status::ready) {
      throw std::runtime_error("the server's loop did not run the call");
    }
    return result.get();
  }

  // Stops the server and tells whether its loop then ran out of work in time.
  bool Stop() {
    OnLoop([this] { server_.Stop(); });
    work_.reset();
    auto finished = std::async(std::launch::async, [this] { thread_.join(); });
    return finished.wait_for(kWait) == std::future_status::ready;
  }

  uint16_t Port() const { return server_.LocalPort(); }
  std::string Host() const { return server_.Authority(); }
  std::string Cookie() const { return "talvero_" + std::to_string(Port()) + "=" + Token(); }
  const std::string& Token() const { return server_.AccessToken(); }
  WebServer& Server() { return server_; }

  Events events;

 private:
  ClientWatchdog watchdog_;
  boost::asio::io_context io_;
  testing::RecordingLogger log_;
  WebServer server_;
  boost::asio::executor_work_guard<boost::asio::io_context::executor_type> work_;
  std::thread thread_;
};

// A client socket, shut down by the watchdog when the test runs too long.
tcp::socket Connect(uint16_t port, boost::asio::io_context& io) {
  tcp::socket socket(io);
  socket.connect({boost::asio::ip::address_v4::loopback(), port});
  std::lock_guard lock(clientMutex);
  clientSockets.push_back(socket.native_handle());
  return socket;
}

// Sends raw bytes and reads whatever comes back until the server closes;
// ended tells how the reading ended.
std::string Exchange(uint16_t port, const std::string& bytes, beast::error_code* ended = nullptr) {
  boost::asio::io_context io;
  tcp::socket socket = Connect(port, io);
  boost::asio::write(socket, boost::asio::buffer(bytes));
  std::string answer;
  std::array<char, 4096> buffer;
  beast::error_code ec;
  while (!ec) {
    const size_t got = socket.read_some(boost::asio::buffer(buffer), ec);
    answer.append(buffer.data(), got);
  }
  if (ended) {
    *ended = ec;
  }
  return answer;
}

// The server ended the connection (the watchdog's cut is reported on its own).
bool ClosedByServer(const beast::error_code& ec) {
  return ec == boost::asio::error::eof || ec == boost::asio::error::connection_reset;
}

http::response<http::string_body> Get(ServerThread& server, const std::string& target,
                                      const std::string& cookie, const std::string& host = "") {
  boost::asio::io_context io;
  tcp::socket socket = Connect(server.Port(), io);
  http::request<http::empty_body> request(http::verb::get, target, 11);
  request.set(http::field::host, host.empty() ? server.Host() : host);
  if (!cookie.empty()) {
    request.set(http::field::cookie, cookie);
  }
  http::write(socket, request);
  beast::flat_buffer buffer;
  http::response<http::string_body> response;
  http::read(socket, buffer, response);
  return response;
}

// A page's channel: the WebSocket handshake with the given cookie and Origin.
struct Channel {
  boost::asio::io_context io;
  websocket::stream<tcp::socket> ws{io};

  beast::error_code Open(ServerThread& server, const std::string& cookie,
                         const std::string& origin) {
    ws.next_layer() = Connect(server.Port(), io);
    ws.set_option(websocket::stream_base::decorator([&](websocket::request_type& request) {
      if (!cookie.empty()) {
        request.set(http::field::cookie, cookie);
      }
      if (!origin.empty()) {
        request.set(http::field::origin, origin);
      }
    }));
    beast::error_code ec;
    ws.handshake(server.Host(), "/ws", ec);
    return ec;
  }
  json Read() {
    beast::flat_buffer buffer;
    ws.read(buffer);
    return json::parse(beast::buffers_to_string(buffer.data()));
  }
  void Write(const std::string& text) { ws.write(boost::asio::buffer(text)); }
};

std::string OwnOrigin(ServerThread& server) {
  return "http://" + server.Host();
}

TEST(WebServer, ThePrintedAddressSignsInAndTheCookieThenOpensEverything) {
  ServerThread server;
  const std::string address = server.OnLoop([&] { return server.Server().PageAddress(); });
  EXPECT_EQ(address, "http://" + server.Host() + "/?token=" + server.Token());

  const auto signIn = Get(server, "/?token=" + server.Token(), "");
  EXPECT_EQ(signIn.result_int(), 303u);
  EXPECT_EQ(signIn[http::field::location], "/");
  EXPECT_EQ(signIn[http::field::set_cookie],
            server.Cookie() + "; Path=/; HttpOnly; SameSite=Strict");

  const auto page = Get(server, "/", server.Cookie());
  EXPECT_EQ(page.result_int(), 200u);
  EXPECT_EQ(page[http::field::content_type], "text/html; charset=utf-8");
  EXPECT_NE(page.body().find("<!DOCTYPE html>"), std::string::npos);
  EXPECT_NE(page["Content-Security-Policy"].find("default-src 'none'"), std::string::npos);

  const auto data = Get(server, "/data.txt?n=7", server.Cookie());
  EXPECT_EQ(data.result_int(), 200u);
  EXPECT_EQ(data.body(), "data 7");

  EXPECT_EQ(Get(server, "/", "").result_int(), 403u);
  EXPECT_EQ(Get(server, "/", server.Cookie(), "rebound.example:" + std::to_string(server.Port()))
                .result_int(),
            403u);
  EXPECT_EQ(Get(server, "/nothing-here", server.Cookie()).result_int(), 404u);
}

TEST(WebServer, ServesTheEmbeddedSounds) {
  ServerThread server;
  for (const WebFile& file : EmbeddedWebFiles()) {
    if (!file.path.starts_with("sounds/")) {
      continue;
    }
    SCOPED_TRACE(file.path);
    const auto response = Get(server, "/" + std::string(file.path), server.Cookie());
    EXPECT_EQ(response.result_int(), 200u);
    EXPECT_EQ(response[http::field::content_type], "audio/wav");
    EXPECT_EQ(response.body(), file.body);
  }
  EXPECT_EQ(Get(server, "/sounds/6.wav", server.Cookie()).result_int(), 404u);
}

TEST(WebServer, RequestsThatCannotBeReadAreRefusedAndTheServerGoesOn) {
  ServerThread server;
  const std::string host = "Host: " + server.Host() + "\r\n";
  const std::string cookie = "Cookie: " + server.Cookie() + "\r\n";
  const std::pair<std::string, std::string> cases[] = {
      {"not http at all\r\n\r\n", "HTTP/1.1 400 "},
      {"GET / HTTP/1.1\r\n" + host + "X-Big: " + std::string(9000, 'x') + "\r\n\r\n",
       "HTTP/1.1 431 "},
      {"POST /x HTTP/1.1\r\n" + host + cookie + "Content-Length: 100000000\r\n\r\n",
       "HTTP/1.1 413 "},
      {"POST /x HTTP/1.1\r\n" + host + cookie + "Content-Length: 70000\r\n\r\n" +
           std::string(70000, 'b'),
       "HTTP/1.1 413 "},
      {"GET / HTTP/1.1\r\nHost: a\r\n" + host + cookie + "Connection: close\r\n\r\n",
       "HTTP/1.1 403 "},
      {"GET / HTTP/1.1\r\n" + cookie + "Connection: close\r\n\r\n", "HTTP/1.1 403 "},
      {"BREW / HTTP/1.1\r\n" + host + cookie + "Connection: close\r\n\r\n", "HTTP/1.1 405 "},
      {"GET /../../etc/passwd HTTP/1.1\r\n" + host + cookie + "Connection: close\r\n\r\n",
       "HTTP/1.1 400 "},
  };
  for (const auto& [request, status] : cases) {
    SCOPED_TRACE(request.substr(0, 40));
    EXPECT_EQ(Exchange(server.Port(), request).substr(0, status.size()), status);
  }
  EXPECT_EQ(Get(server, "/", server.Cookie()).result_int(), 200u);
}

TEST(WebServer, KeepAliveServesSeveralRequestsOnOneConnection) {
  ServerThread server;
  const std::string request = "GET /data.txt?n=1 HTTP/1.1\r\nHost: " + server.Host() +
                              "\r\nCookie: " + server.Cookie() + "\r\n\r\n";
  const std::string last = "GET /data.txt?n=2 HTTP/1.1\r\nHost: " + server.Host() +
                           "\r\nCookie: " + server.Cookie() + "\r\nConnection: close\r\n\r\n";
  const std::string answer = Exchange(server.Port(), request + last);
  EXPECT_NE(answer.find("data 1"), std::string::npos);
  EXPECT_NE(answer.find("data 2"), std::string::npos);
}

TEST(WebServer, TheChannelCarriesMessagesBothWaysAndAnswersBadOnesWithErrors) {
  ServerThread server;
  Channel page;
  ASSERT_FALSE(page.Open(server, server.Cookie(), OwnOrigin(server)));
  EXPECT_EQ(page.Read(), (json{{"type", "hello"}, {"session", 1}}));

  page.Write(R"({"type":"ping","n":1})");
  EXPECT_EQ(page.Read(), (json{{"type", "echo"}, {"message", {{"type", "ping"}, {"n", 1}}}}));
  page.Write("{not json");
  EXPECT_EQ(page.Read()["error"], "message is not JSON");
  page.Write(R"(["type"])");
  EXPECT_EQ(page.Read()["error"], "message is not a JSON object");
  page.ws.binary(true);
  page.Write(R"({"type":"ping"})");
  EXPECT_EQ(page.Read()["error"], "binary messages are not taken");

  page.ws.close(websocket::close_code::normal);
  EXPECT_TRUE(server.events.WaitFor("closed 1"));
  EXPECT_EQ(
      server.events.All(),
      (std::vector<std::string>{"opened 1", R"(message 1 {"n":1,"type":"ping"})", "closed 1"}));
}

TEST(WebServer, BroadcastReachesEveryPageAndSendOnlyItsOwn) {
  ServerThread server;
  Channel first;
  Channel second;
  ASSERT_FALSE(first.Open(server, server.Cookie(), OwnOrigin(server)));
  EXPECT_EQ(first.Read()["type"], "hello");
  ASSERT_FALSE(second.Open(server, server.Cookie(), ""));
  EXPECT_EQ(second.Read()["type"], "hello");

  server.OnLoop([&] {
    server.Server().Send(2, {{"type", "only second"}});
    server.Server().Broadcast({{"type", "all"}});
  });
  EXPECT_EQ(first.Read()["type"], "all");
  EXPECT_EQ(second.Read()["type"], "only second");
  EXPECT_EQ(second.Read()["type"], "all");
  EXPECT_EQ(server.OnLoop([&] { return server.Server().SessionCount(); }), 2u);
  EXPECT_FALSE(server.OnLoop([&] { return server.Server().Send(3, {{"type", "nobody"}}); }));
}

TEST(WebServer, TheChannelNeedsTheCookieOrTokenAndThisOrigin) {
  ServerThread server;
  const std::string other = "http://127.0.0.1:" + std::to_string(server.Port() + 1);
  const std::tuple<std::string, std::string, std::string> cases[] = {
      {"no cookie", "", OwnOrigin(server)},
      {"wrong cookie", "talvero_" + std::to_string(server.Port()) + "=" + std::string(64, '0'),
       OwnOrigin(server)},
      {"other port's page", server.Cookie(), other},
      {"foreign site", server.Cookie(), "http://evil.example"},
  };
  for (const auto& [name, cookie, origin] : cases) {
    SCOPED_TRACE(name);
    Channel page;
    EXPECT_EQ(page.Open(server, cookie, origin), websocket::error::upgrade_declined);
  }
  Channel withToken;
  withToken.ws.next_layer() = Connect(server.Port(), withToken.io);
  withToken.ws.handshake(server.Host(), "/ws?token=" + server.Token());
  EXPECT_EQ(withToken.Read()["type"], "hello");
  EXPECT_EQ(server.events.All(), std::vector<std::string>{"opened 1"});
}

TEST(WebServer, AMessageOverTheLimitClosesThePage) {
  WebLimits limits;
  limits.messageBytes = 1024;
  ServerThread server(limits);
  Channel page;
  ASSERT_FALSE(page.Open(server, server.Cookie(), ""));
  page.Read();
  page.Write(R"({"type":"ping","pad":")" + std::string(2000, 'x') + "\"}");
  beast::flat_buffer buffer;
  beast::error_code ec;
  page.ws.read(buffer, ec);
  // The close frame tells why; the client's own teardown may then fail either way.
  EXPECT_TRUE(ec);
  EXPECT_EQ(page.ws.reason().code, websocket::close_code::too_big);
  EXPECT_TRUE(server.events.WaitFor("closed 1"));
}

TEST(WebServer, FramesThatBreakTheWebSocketProtocolCloseOnlyThatPage) {
  ServerThread server;
  const websocket::close_code protocol = websocket::close_code::protocol_error;
  const std::tuple<std::string_view, std::string, websocket::close_code> cases[] = {
      {"reserved opcode", std::string("\x83\x80\0\0\0\0", 6), protocol},
      {"unmasked text", std::string("\x81\x02hi", 4), protocol},
      {"reserved bits", std::string("\xf1\x80\0\0\0\0", 6), protocol},
      {"continuation first", std::string("\x80\x80\0\0\0\0", 6), protocol},
      {"ping over 125 bytes", std::string("\x89\xfe\x01\0\0\0\0\0", 8) + std::string(256, 'p'),
       protocol},
      {"length over the limit", std::string("\x81\xff\0\0\0\x01\0\0\0\0\0\0\0\0", 14),
       websocket::close_code::too_big},
  };
  int session = 0;
  for (const auto& [name, frame, code] : cases) {
    SCOPED_TRACE(name);
    Channel page;
    ASSERT_FALSE(page.Open(server, server.Cookie(), ""));
    page.Read();
    ++session;
    boost::asio::write(page.ws.next_layer(), boost::asio::buffer(frame));
    beast::flat_buffer buffer;
    beast::error_code ec;
    page.ws.read(buffer, ec);
    EXPECT_TRUE(ec);
    EXPECT_EQ(page.ws.reason().code, code);
    EXPECT_TRUE(server.events.WaitFor("closed " + std::to_string(session)));
  }
  Channel after;
  ASSERT_FALSE(after.Open(server, server.Cookie(), ""));
  EXPECT_EQ(after.Read()["type"], "hello");
}

TEST(WebServer, ConnectionsBeyondTheLimitAreClosedAtOnce) {
  WebLimits limits;
  limits.connections = 2;
  ServerThread server(limits);
  boost::asio::io_context io;
  tcp::socket first = Connect(server.Port(), io);
  tcp::socket second = Connect(server.Port(), io);
  // Both are counted once the loop has taken them; a request answered on each proves it.
  const std::string request = "GET /data.txt HTTP/1.1\r\nHost: " + server.Host() +
                              "\r\nCookie: " + server.Cookie() + "\r\n\r\n";
  for (tcp::socket* socket : {&first, &second}) {
    boost::asio::write(*socket, boost::asio::buffer(request));
    beast::flat_buffer buffer;
    http::response<http::string_body> response;
    http::read(*socket, buffer, response);
    EXPECT_EQ(response.body(), "data -");
  }
  beast::error_code ended;
  EXPECT_EQ(Exchange(server.Port(), request, &ended), "");
  EXPECT_TRUE(ClosedByServer(ended)) << ended.message();

  first.close();
  // The freed place is taken again once the server has seen the close.
  std::string answer;
  for (int attempt = 0; attempt < 100 && answer.empty(); ++attempt) {
    answer = Exchange(server.Port(),
                      request.substr(0, request.size() - 2) + "Connection: close\r\n\r\n");
  }
  EXPECT_NE(answer.find("data -"), std::string::npos);
}

TEST(WebServer, APeerThatNeverCompletesItsRequestIsLetGo) {
  WebLimits limits;
  limits.requestTimeout = 100ms;
  ServerThread server(limits);
  // Half a request, and then nothing: the connection must not be held for good.
  beast::error_code ended;
  EXPECT_EQ(Exchange(server.Port(), "GET / HTTP/1.1\r\nHost: ", &ended), "");
  EXPECT_TRUE(ClosedByServer(ended)) << ended.message();
}

TEST(WebServer, APageThatDoesNotReadIsDroppedInsteadOfQueuedWithoutEnd) {
  WebLimits limits;
  limits.queuedBytes = 256 * 1024;
  ServerThread server(limits);
  Channel stalled;
  ASSERT_FALSE(stalled.Open(server, server.Cookie(), ""));
  Channel reading;
  ASSERT_FALSE(reading.Open(server, server.Cookie(), ""));
  reading.Read();

  // Far more than the socket buffers and the queue hold; the stalled page never reads.
  const json big = {{"type", "rows"}, {"pad", std::string(64 * 1024, 'r')}};
  for (int i = 0; i < 200 && !server.events.Has("closed 1"); ++i) {
    server.OnLoop([&] { server.Server().Send(1, big); });
  }
  EXPECT_TRUE(server.events.WaitFor("closed 1"));
  server.OnLoop([&] { server.Server().Broadcast({{"type", "after"}}); });
  EXPECT_EQ(reading.Read()["type"], "after");
  EXPECT_EQ(server.OnLoop([&] { return server.Server().SessionCount(); }), 1u);
}

TEST(WebServer, StopDeliversWhatWasQueuedThenClosesAndTheLoopReturns) {
  ServerThread server;
  Channel page;
  ASSERT_FALSE(page.Open(server, server.Cookie(), ""));
  page.Read();
  boost::asio::io_context io;
  tcp::socket idleHttp = Connect(server.Port(), io);

  server.OnLoop([&] { server.Server().Broadcast({{"type", "closing"}}); });
  auto stopped = std::async(std::launch::async, [&] { return server.Stop(); });
  EXPECT_EQ(page.Read()["type"], "closing");
  beast::flat_buffer buffer;
  beast::error_code ec;
  page.ws.read(buffer, ec);
  EXPECT_TRUE(ec);
  EXPECT_EQ(page.ws.reason().code, websocket::close_code::going_away);
  EXPECT_TRUE(stopped.get());
  // The closed handler is not called once Stop has begun.
  EXPECT_EQ(server.events.All(), std::vector<std::string>{"opened 1"});
}

TEST(WebServer, RefusesAnAddressForAllInterfaces) {
  boost::asio::io_context io;
  testing::RecordingLogger log;
  EXPECT_THROW(WebServer(io, {"0.0.0.0", 0, {}}, log), std::runtime_error);
  EXPECT_THROW(WebServer(io, {"no-such-host.invalid", 0, {}}, log), std::runtime_error);
}

}  // namespace
}  // namespace talvero
