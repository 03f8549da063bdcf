#include "log/string_parser_thread.hpp"

#include <chrono>
#include <exception>

namespace talvero {

TStringParserThread::TStringParserThread(TLog& log, std::mutex& lock, std::string_view firstMessage)
    : log_(log), lock_(lock) {
  queue_.emplace_back(firstMessage);
  queued_ = 1;
  thread_ = std::thread([this] { Run(); });
}

TStringParserThread::~TStringParserThread() {
  Stop();
}

bool TStringParserThread::AddLine(std::string_view message) {
  std::lock_guard guard(lock_);
  // finished_ is set under the lock, so a line is never queued to a writer that
  // will not look at it again.
  if (finished_) {
    return false;
  }
  queue_.emplace_back(message);
  ++queued_;
  return true;
}

void TStringParserThread::WaitFinished() {
  if (thread_.joinable()) {
    thread_.join();
  }
}

void TStringParserThread::Stop() {
  RequestStop();
  WaitFinished();
}

std::string TStringParserThread::Failure() const {
  std::lock_guard guard(lock_);
  return failure_;
}

void TStringParserThread::Run() {
  std::string failure;
  while (running_) {
    if (queued_ == 0) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
      continue;
    }
    std::string message;
    {
      std::lock_guard guard(lock_);
      message = std::move(queue_.front());
      queue_.pop_front();
      --queued_;
    }
    try {
      log_.Add(message);
    } catch (const std::exception& e) {
      failure = e.what();
      break;
    } catch (...) {
      failure = "unknown failure";
      break;
    }
  }
  std::lock_guard guard(lock_);
  failure_ = std::move(failure);
  finished_ = true;
}

}  // namespace talvero
