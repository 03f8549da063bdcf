#include "station_sim/station_session.hpp"

#include <fmt/format.h>

#include <unistd.h>

#include <csignal>

#include "common/steady_span.hpp"
#include "common/time_text.hpp"
#include "station/station_line.hpp"

namespace talvero {
namespace {

// How long answers already due may take to go out once the station stops.
constexpr std::chrono::seconds kGrace{1};

}  // namespace

StationSession::StationSession(boost::asio::io_context& io, int fd, const StationOptions& options,
                               std::FILE* out, StationListener* listener)
    : options_(options),
      out_(out),
      listener_(listener),
      line_(io),
      answerTimer_(io),
      heartbeatTimer_(io),
      durationTimer_(io),
      graceTimer_(io),
      signals_(io, SIGINT, SIGTERM) {
  if (options_.baud) {
    wire_.emplace(*options_.baud);
  }
  if (fd >= 0) {
    line_.assign(fd);
    connected_ = true;
  }
}

void StationSession::Start() {
  started_ = SteadyClock::now();
  signals_.async_wait([this](const boost::system::error_code& ec, int) {
    if (!ec) {
      // A second signal while the last answers go out ends at once.
      if (stopping_) {
        Close();
      } else {
        Stop("signal");
        // With nothing left to send, Stop has closed the session already; a
        // wait started now would keep the loop running for ever.
        if (!closed_) {
          signals_.async_wait([this](const boost::system::error_code& again, int) {
            if (!again) {
              Close();
            }
          });
        }
      }
    }
  });
  if (options_.durationSeconds) {
    durationTimer_.expires_after(Span(*options_.durationSeconds));
    durationTimer_.async_wait([this](const boost::system::error_code& ec) {
      if (!ec) {
        Stop("duration");
      }
    });
  }
  if (options_.heartbeatSeconds > 0) {
    StartHeartbeat();
  }
  if (connected_) {
    Read();
  } else {
    AwaitConnection();
  }
}

void StationSession::AwaitConnection() {
  listener_->AcceptNext([this](int fd, const std::string& peer) {
    if (stopping_) {
      ::close(fd);
      return;
    }
    line_.assign(fd);
    connected_ = true;
    ++generation_;
    if (!options_.quiet) {
      fmt::print(out_, "{} connection from {}\n", MomentText(clock_.Now()), peer);
      std::fflush(out_);
    }
    Read();
  });
}

void StationSession::DropConnection(const std::string& why) {
  ++generation_;
  connected_ = false;
  boost::system::error_code ignored;
  line_.close(ignored);
  // Answers and writes were meant for the lines of that connection.
  answerTimer_.cancel();
  answersDue_.clear();
  writes_.clear();
  writing_ = false;
  splitter_ = StationLineSplitter{};
  if (!options_.quiet) {
    fmt::print(out_, "{} connection {}\n", MomentText(clock_.Now()), why);
    std::fflush(out_);
  }
  AwaitConnection();
}

void StationSession::Read() {
  line_.async_read_some(
      boost::asio::buffer(readBuffer_),
      [this, generation = generation_](const boost::system::error_code& ec, size_t n) {
        if (stopping_ || generation != generation_) {
          return;
        }
        if (ec && listener_) {
          DropConnection(ec == boost::asio::error::eof ? "closed" : "failed: " + ec.message());
          return;
        }
        if (ec) {
          failed_ = true;
          Stop(ec == boost::asio::error::eof ? "line closed" : "line failed: " + ec.message());
          return;
        }
        const auto now = SteadyClock::now();
        for (const StationInput& input : splitter_.Feed(std::string_view(readBuffer_.data(), n))) {
          // Past --count the rest of the chunk is neither counted nor answered.
          if (stopping_) {
            break;
          }
          OnInput(input, now);
        }
        std::fflush(out_);
        if (!stopping_) {
          Read();
        }
      });
}

void StationSession::OnInput(const StationInput& input, SteadyClock::time_point now) {
  LineVerdict verdict;
  switch (input.kind) {
    case StationInput::Kind::Ack:
      tracker_.OnHeartbeatAck();
      break;
    case StationInput::Kind::Overlong:
      tracker_.OnOverlong();
      break;
    case StationInput::Kind::Line:
      verdict = tracker_.OnLine(input.text, now);
      ScheduleAnswer(input.text.size() + 1, now);
      break;
  }
  if (!options_.quiet) {
    fmt::print(out_, "{}\n", ReceivedLineText(MomentText(clock_.Now()), input, verdict));
  }
  if (options_.count && tracker_.Counters().newEvents >= *options_.count) {
    Stop("count");
  }
}

void StationSession::ScheduleAnswer(size_t lineBytes, SteadyClock::time_point now) {
  if (options_.answer == StationAnswer::None) {
    return;
  }
  const SteadyClock::time_point lineDone = wire_ ? wire_->LineDone(now, lineBytes) : now;
  answersDue_.push_back(lineDone + Span(options_.delaySeconds));
  if (answersDue_.size() == 1) {
    ArmAnswerTimer();
  }
}

void StationSession::ArmAnswerTimer() {
  answerTimer_.expires_at(answersDue_.front());
  answerTimer_.async_wait([this](const boost::system::error_code& ec) {
    if (!ec) {
      OnAnswersDue();
    }
  });
}

void StationSession::OnAnswersDue() {
  const auto now = SteadyClock::now();
  const char answer = options_.answer == StationAnswer::Nak ? kNak : kAck;
  while (!answersDue_.empty() && answersDue_.front() <= now) {
    answersDue_.pop_front();
    Write(std::string(1, answer), WriteKind::Answer);
  }
  if (!answersDue_.empty()) {
    ArmAnswerTimer();
  }
  CloseIfFlushed();
}

void StationSession::StartHeartbeat() {
  heartbeatTimer_.expires_after(Span(options_.heartbeatSeconds));
  heartbeatTimer_.async_wait([this](const boost::system::error_code& ec) {
    if (!ec && !stopping_) {
      Write(std::string(kHeartbeatLine) + kDc4, WriteKind::Heartbeat);
      StartHeartbeat();
    }
  });
}

void StationSession::Write(std::string bytes, WriteKind kind) {
  if (!connected_) {
    return;  // no connection to write on
  }
  writes_.emplace_back(std::move(bytes), kind);
  if (!writing_) {
    WriteNext();
  }
}

void StationSession::WriteNext() {
  if (writes_.empty() || closed_) {
    writing_ = false;
    CloseIfFlushed();
    return;
  }
  writing_ = true;
  boost::asio::async_write(
      line_, boost::asio::buffer(writes_.front().first),
      [this, generation = generation_](const boost::system::error_code& ec, size_t) {
        if (generation != generation_) {
          return;
        }
        if (ec && listener_ && !stopping_) {
          DropConnection("failed: " + ec.message());
          return;
        }
        if (ec) {
          writing_ = false;
          if (ec != boost::asio::error::operation_aborted) {
            failed_ = true;
            Stop("line failed: " + ec.message());
            Close();
          }
          return;
        }
        if (writes_.front().second == WriteKind::Answer) {
          tracker_.OnAnswerWritten();
        } else {
          tracker_.OnHeartbeatSent();
        }
        writes_.pop_front();
        WriteNext();
      });
}

void StationSession::Stop(std::string reason) {
  if (stopping_) {
    return;
  }
  stopping_ = true;
  stopReason_ = std::move(reason);
  stopped_ = SteadyClock::now();
  heartbeatTimer_.cancel();
  durationTimer_.cancel();
  // Answers already scheduled still go out, within the grace period after the last is due.
  const auto lastDue = answersDue_.empty() ? stopped_ : std::max(stopped_, answersDue_.back());
  graceTimer_.expires_at(lastDue + kGrace);
  graceTimer_.async_wait([this](const boost::system::error_code& ec) {
    if (!ec) {
      Close();
    }
  });
  CloseIfFlushed();
}

void StationSession::CloseIfFlushed() {
  if (stopping_ && answersDue_.empty() && writes_.empty() && !writing_) {
    Close();
  }
}

void StationSession::Close() {
  if (closed_) {
    return;
  }
  closed_ = true;
  if (!stopping_) {
    stopping_ = true;
    stopped_ = SteadyClock::now();
  }
  answerTimer_.cancel();
  heartbeatTimer_.cancel();
  durationTimer_.cancel();
  graceTimer_.cancel();
  signals_.cancel();
  if (listener_) {
    listener_->Close();
  }
  boost::system::error_code ignored;
  line_.close(ignored);
}

StationSummary StationSession::Summary() const {
  StationSummary out;
  out.counters = tracker_.Counters();
  out.linesPerSecond = tracker_.LinesPerSecond();
  out.elapsedSeconds = Seconds(stopped_ - started_);
  out.stopReason = stopReason_;
  return out;
}

}  // namespace talvero
