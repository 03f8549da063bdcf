#pragma once

#include <array>
#include <chrono>
#include <deque>
#include <memory>
#include <string>
#include <string_view>

#include "platform/asio.hpp"
#include "platform/chunk_assembler.hpp"

namespace talvero {

// What the serial port and the TCP connection to the monitoring software share:
// one opening of a byte stream, read into the station's chunks (ChunkAssembler
// and its quiet timer) and written one write at a time. Completion handlers
// keep the session alive and look at closed_ first, so once it is shut nothing
// reaches its owner again.
//
// Derived gives Vanish() (the stream is gone: shut, hand over what it had
// sent, tell the owner) and Deliver(chunk) (to the owner; whether the session
// is still open after it).
template <class Derived, class Stream>
class StationStreamSession : public std::enable_shared_from_this<Derived> {
 protected:
  explicit StationStreamSession(boost::asio::io_context& io) : stream_(io), quietTimer_(io) {}

  void Read() {
    stream_.async_read_some(
        boost::asio::buffer(readBuffer_),
        [self = this->shared_from_this()](const boost::system::error_code& ec, size_t length) {
          self->OnRead(ec, length);
        });
  }

  // Closes the stream; the pending writes stay, since an aborted write may
  // still refer to its buffer.
  void ShutStream() {
    closed_ = true;
    boost::system::error_code ignored;
    quietTimer_.cancel();
    stream_.close(ignored);
  }

  Stream stream_;
  ChunkAssembler assembler_;
  std::deque<std::string> pendingWrites_;  // the head is in flight while writing_
  bool writing_ = false;
  bool closed_ = false;

 private:
  Derived& Self() { return static_cast<Derived&>(*this); }

  void OnRead(const boost::system::error_code& ec, size_t length) {
    if (closed_) {
      return;
    }
    if (ec) {
      Self().Vanish();
      return;
    }
    const auto full = assembler_.Add(std::string_view(readBuffer_.data(), length),
                                     std::chrono::steady_clock::now());
    for (const auto& chunk : full) {
      if (!Self().Deliver(chunk)) {
        return;
      }
    }
    ArmQuietTimer();
    Read();
  }

  // Re-arming cancels the wait before; a wait that had already finished finds
  // the input not quiet yet and arms again.
  void ArmQuietTimer() {
    const auto due = assembler_.QuietDue();
    if (!due) {
      return;
    }
    quietTimer_.expires_at(*due);
    quietTimer_.async_wait([self = this->shared_from_this()](const boost::system::error_code& ec) {
      if (ec || self->closed_) {
        return;
      }
      if (auto chunk = self->assembler_.TakeIfQuiet(std::chrono::steady_clock::now())) {
        if (!self->Deliver(*chunk)) {
          return;
        }
      }
      self->ArmQuietTimer();
    });
  }

  boost::asio::steady_timer quietTimer_;
  std::array<char, 1024> readBuffer_{};
};

}  // namespace talvero
