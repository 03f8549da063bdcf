#pragma once

#include <atomic>
#include <cstddef>
#include <deque>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

#include "log/log_channel.hpp"

namespace talvero {

// The desktop host's background writer of the "All msg" log: takes the cost of
// opening and closing the file off the host's thread. Messages are written in
// the order they were queued. A failed write ends the writer at once; messages
// still queued when it ends are not written.
class TStringParserThread {
 public:
  // Queues firstMessage and starts at once. lock stands for the host's named
  // lock "corvane" and guards the queue only. Raises when no thread can be started.
  TStringParserThread(TLog& log, std::mutex& lock, std::string_view firstMessage);
  ~TStringParserThread();
  TStringParserThread(const TStringParserThread&) = delete;
  TStringParserThread& operator=(const TStringParserThread&) = delete;

  // False when the writer has already ended: the message was not queued.
  bool AddLine(std::string_view message);

  // Stop in two steps, so a caller can ask and wait apart: clear the running
  // flag, then wait until the loop has finished. Lines still queued are dropped.
  void RequestStop() { running_ = false; }
  void WaitFinished();
  void Stop();

  bool Finished() const { return finished_; }
  // The text of the failed write that ended the writer; empty otherwise.
  std::string Failure() const;

 private:
  void Run();

  TLog& log_;
  std::mutex& lock_;
  std::deque<std::string> queue_;
  // Lets the loop look at the queue without the lock.
  std::atomic<size_t> queued_{0};
  std::atomic<bool> running_{true};
  std::atomic<bool> finished_{false};
  std::string failure_;
  std::thread thread_;
};

}  // namespace talvero
