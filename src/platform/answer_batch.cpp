#include "platform/answer_batch.hpp"

#include <utility>

#include "platform/tcp_connection.hpp"

namespace talvero {

void AnswerBatch::Add(std::shared_ptr<TcpConnection> connection) {
  held_.push_back(std::move(connection));
  if (!posted_) {
    posted_ = true;
    boost::asio::post(executor_, [self = shared_from_this()] {
      self->posted_ = false;
      self->WriteAll();
    });
  }
}

void AnswerBatch::WriteAll() {
  if (held_.empty()) {
    return;
  }
  delivery_.BeforeAnswersLeave();
  std::swap(held_, writing_);
  for (const auto& connection : writing_) {
    connection->WriteHeldAnswers();
  }
  writing_.clear();
}

}  // namespace talvero
