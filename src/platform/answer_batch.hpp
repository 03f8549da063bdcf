#pragma once

#include <cstddef>
#include <memory>
#include <vector>

#include "platform/asio.hpp"
#include "platform/frame_delivery.hpp"

namespace talvero {

class TcpConnection;

// The TCP answers of a loop turn, written together: the first connection with
// an answer asks for one write-out once the handlers at hand have run, so the
// log lines of the turn leave with one write before its answers. A long turn
// does not hold every answer to its end: once kMaxHeld connections have
// answers, the held ones leave as soon as the frame at hand is done with (its
// lines and its record written), and a unit answered early is sending its
// next frame while the turn goes on. Only while the delivery allows it: an
// early batch must not cost a sync the turn's end makes once for all.
class AnswerBatch final : public std::enable_shared_from_this<AnswerBatch> {
 public:
  static constexpr size_t kMaxHeld = 16;

  AnswerBatch(boost::asio::any_io_executor executor, FrameDelivery& delivery)
      : executor_(std::move(executor)), delivery_(delivery) {}

  // The connection has answers to write that wait for the batch.
  void Add(std::shared_ptr<TcpConnection> connection);
  // After a frame's handling: writes the held answers when the batch is full
  // and the delivery lets answers leave early.
  void WriteIfFull() {
    if (held_.size() >= kMaxHeld && delivery_.EarlyAnswersAllowed()) {
      WriteAll();
    }
  }
  // Runs what must be done before answers leave, then writes every held
  // connection's answers.
  void WriteAll();

 private:
  boost::asio::any_io_executor executor_;
  FrameDelivery& delivery_;
  std::vector<std::shared_ptr<TcpConnection>> held_;
  std::vector<std::shared_ptr<TcpConnection>> writing_;  // kept for its capacity
  bool posted_ = false;
};

}  // namespace talvero
