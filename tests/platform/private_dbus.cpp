#include "private_dbus.hpp"

#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <stdexcept>

namespace talvero::testing {
namespace {

std::string ConfigText(const std::string& socketPath) {
  return "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\"\n"
         " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
         "<busconfig>\n"
         "  <listen>unix:path=" +
         socketPath +
         "</listen>\n"
         "  <auth>EXTERNAL</auth>\n"
         "  <policy context=\"default\">\n"
         "    <allow user=\"*\"/>\n"
         "    <allow own=\"*\"/>\n"
         "    <allow send_destination=\"*\" eavesdrop=\"true\"/>\n"
         "    <allow receive_sender=\"*\"/>\n"
         "  </policy>\n"
         "</busconfig>\n";
}

// The first line the daemon prints, without its line end; empty when none
// comes within the limit.
std::string ReadAddressLine(int fd) {
  std::string line;
  pollfd readable{fd, POLLIN, 0};
  while (poll(&readable, 1, 10000) == 1) {
    char c = 0;
    if (read(fd, &c, 1) != 1 || c == '\n') {
      break;
    }
    line += c;
  }
  return line;
}

}  // namespace

PrivateDbus::PrivateDbus() {
  const std::string config = (dir_.path() / "bus.conf").string();
  std::ofstream(config) << ConfigText((dir_.path() / "bus").string());
  const std::string configOption = "--config-file=" + config;
  char* const argv[] = {
      const_cast<char*>("dbus-daemon"),       const_cast<char*>(configOption.c_str()),
      const_cast<char*>("--nofork"),          const_cast<char*>("--nopidfile"),
      const_cast<char*>("--print-address=1"), nullptr};
  int out[2];
  if (pipe(out) != 0) {
    throw std::runtime_error("cannot make a pipe for dbus-daemon");
  }
  pid_ = fork();
  if (pid_ == 0) {
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    dup2(out[1], STDOUT_FILENO);
    close(out[0]);
    close(out[1]);
    execvp("dbus-daemon", argv);
    _exit(127);
  }
  close(out[1]);
  if (pid_ > 0) {
    address_ = ReadAddressLine(out[0]);
  }
  close(out[0]);
  if (address_.empty()) {
    Kill();
    throw std::runtime_error("dbus-daemon did not start");
  }
}

PrivateDbus::~PrivateDbus() {
  Kill();
}

void PrivateDbus::Kill() {
  if (pid_ > 0) {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
  pid_ = -1;
}

void PrivateDbus::Pause() {
  if (pid_ > 0) {
    kill(pid_, SIGSTOP);
  }
}

}  // namespace talvero::testing
