#include "hosts/page_process.hpp"

#include <chrono>
#include <cstdio>

#include "hosts/browser_opener.hpp"
#include "hosts/monitor_window.hpp"

namespace talvero {
namespace {

// What the pages get to hear "closed" before the loop ends.
constexpr std::chrono::milliseconds kGoodbyeTime{500};

}  // namespace

PageProcess::PageProcess(const CommandLine& line) : line(line) {}

WebServer& PageProcess::OpenWeb() {
  web = std::make_unique<WebServer>(io, WebServerOptions{line.uiHost, line.uiPort, {}}, log);
  ServeHelpFiles(*web);
  return *web;
}

void PageProcess::Show() {
  web->Start();
  std::printf("%s\n", web->PageAddress().c_str());
  std::fflush(stdout);
  OpenInBrowser(web->PageAddress());
}

void PageProcess::End() {
  web->Stop();
  goodbye_.expires_after(kGoodbyeTime);
  goodbye_.async_wait([this](const boost::system::error_code&) { io.stop(); });
}

}  // namespace talvero
