#include "log/host_logger.hpp"

#include <string>

#include "log/desktop_logger.hpp"
#include "log/service_logger.hpp"

namespace talvero {
namespace {

TLogView ViewOf(HostObserver* observer, std::string_view channel, bool indicator) {
  if (!observer) {
    return {};
  }
  return {observer, std::string(channel), indicator};
}

}  // namespace

HostLogger::HostLogger(const Clock& clock, std::string_view root, HostObserver* viewObserver)
    : allMsg_(clock, std::string(root) + "/All msg", "", TLogNaming::lnDaily,
              ViewOf(viewObserver, kAllMsgChannel, false)),
      impMsg_(clock, root, "Imp_msg", TLogNaming::lnFixedName,
              ViewOf(viewObserver, kImpMsgChannel, true)),
      errors_(clock, root, "Errors", TLogNaming::lnFixedName,
              ViewOf(viewObserver, kErrorsChannel, true)) {}

void HostLogger::LogApplicationStarted() {
  allMsg_.Add("Application started..");
}

void HostLogger::LogApplicationClosed() {
  StopWriter();
  allMsg_.Add("Application closed\r\n");
  allMsg_.Flush();
}

std::unique_ptr<HostLogger> MakeHostLogger(HostKind kind, const Clock& clock,
                                           HostObserver& observer) {
  if (kind == HostKind::Desktop) {
    return std::make_unique<DesktopLogger>(clock, observer);
  }
  return std::make_unique<ServiceLogger>(clock);
}

}  // namespace talvero
