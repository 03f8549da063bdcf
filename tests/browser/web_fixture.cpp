// The web server with the placeholder page, for the browser smoke test: serves
// on 127.0.0.1 at a free port (or the one given), prints the page address with
// its token as the only line on standard output, greets every page that opens
// the channel, answers {"type":"ping"} with a pong, and stops on SIGTERM or SIGINT.

#include <cstdio>
#include <nlohmann/json.hpp>
#include <stdexcept>
#include <string>

#include "base/logger.hpp"
#include "platform/asio.hpp"
#include "platform/web_server.hpp"

namespace {

class StderrLogger final : public talvero::Logger {
 public:
  void LogAllMsg(std::string_view message) override { Print("all", message); }
  void LogImpMsg(std::string_view message) override { Print("imp", message); }
  void LogErr(std::string_view procName, std::string_view failure) override {
    std::fprintf(stderr, "ERR in %.*s: %.*s\n", static_cast<int>(procName.size()), procName.data(),
                 static_cast<int>(failure.size()), failure.data());
  }
  void LogErrorText(std::string_view text) override { Print("err", text); }

 private:
  static void Print(const char* kind, std::string_view text) {
    std::fprintf(stderr, "%s: %.*s\n", kind, static_cast<int>(text.size()), text.data());
  }
};

}  // namespace

int main(int argc, char** argv) {
  const uint16_t port = argc > 1 ? static_cast<uint16_t>(std::stoi(argv[1])) : 0;
  boost::asio::io_context io;
  StderrLogger log;
  talvero::WebServer server(io, {.host = "127.0.0.1", .port = port, .limits = {}}, log);
  server.SetChannelHandlers({
      .opened =
          [&](talvero::WebSessionId id) {
            server.Send(id, {{"type", "hello"}, {"session", id}});
          },
      .message =
          [&](talvero::WebSessionId id, const nlohmann::json& message) {
            if (message.at("type") != "ping") {
              throw std::invalid_argument("unknown message type");
            }
            server.Send(id, {{"type", "pong"}, {"echo", message}});
          },
      .closed = {},
  });
  server.AddGetHandler("/files/sample.txt", [](const talvero::WebTarget&) {
    return talvero::WebReply::Attachment("text/plain; charset=utf-8", "sample.txt",
                                         "a file the host offers for download\n");
  });
  boost::asio::signal_set signals(io, SIGTERM, SIGINT);
  signals.async_wait([&](const boost::system::error_code&, int) { server.Stop(); });
  server.Start();
  std::printf("%s\n", server.PageAddress().c_str());
  std::fflush(stdout);
  io.run();
  return 0;
}
