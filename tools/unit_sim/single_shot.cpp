#include "unit_sim/single_shot.hpp"

#include <fmt/format.h>

#include <array>
#include <chrono>
#include <cstdio>

#include "common/frame_report.hpp"
#include "common/steady_span.hpp"
#include "platform/asio.hpp"
#include "protocol/hex_text.hpp"
#include "unit_sim/capturing_logger.hpp"

namespace talvero {

namespace asio = boost::asio;
using boost::system::error_code;

namespace {

// One exchange: connect, write, read until the answer (and the listening time)
// or the deadline.
class Exchange {
 public:
  Exchange(const UnitOptions& options, const std::string& frame, std::FILE* out)
      : options_(options),
        frame_(frame),
        out_(out),
        tcp_(io_),
        udp_(io_),
        deadline_(io_),
        target_(asio::ip::make_address_v4(options.host), options.port) {}

  SendResult Run() {
    Arm(options_.timeoutSeconds, "no connection within the time-out");
    if (options_.transport == UnitTransport::Tcp) {
      tcp_.async_connect({target_.address(), target_.port()}, [this](const error_code& ec) {
        if (ec) {
          Fail(fmt::format("cannot connect to {}:{}: {}", options_.host, options_.port,
                           ec.message()));
          return;
        }
        error_code ignored;
        tcp_.set_option(asio::ip::tcp::no_delay(true), ignored);
        asio::async_write(tcp_, asio::buffer(frame_),
                          [this](const error_code& wec, size_t) { OnSent(wec); });
      });
    } else {
      error_code ec;
      udp_.open(asio::ip::udp::v4(), ec);
      if (!ec) {
        udp_.connect(target_, ec);
      }
      if (ec) {
        Fail(fmt::format("cannot open a UDP socket to {}:{}: {}", options_.host, options_.port,
                         ec.message()));
      } else {
        udp_.async_send(asio::buffer(frame_),
                        [this](const error_code& wec, size_t) { OnSent(wec); });
      }
    }
    io_.run();
    return std::move(result_);
  }

 private:
  void Arm(double seconds, std::string onExpiry) {
    deadline_.expires_after(Span(seconds));
    deadline_.async_wait([this, onExpiry = std::move(onExpiry)](const error_code& ec) {
      if (ec) {
        return;
      }
      if (!sent_) {
        Fail(onExpiry);
        return;
      }
      RecordIncomplete();
      result_.timedOut = result_.frames.empty();
      if (result_.timedOut && out_) {
        fmt::print(out_, "No answer within {:g} s{}\n", options_.timeoutSeconds,
                   options_.kind == UnitFrameKind::Ack
                       ? " (the receiver answers a unit's Ack with nothing)"
                       : "");
      }
      Close();
    });
  }

  void OnSent(const error_code& ec) {
    if (ec) {
      Fail(fmt::format("cannot send: {}", ec.message()));
      return;
    }
    sent_ = true;
    result_.sent = frame_;
    if (out_) {
      fmt::print(out_, "Sent {} ({} b.) to {}:{} over {}: 0x{}\n", KindName(options_.kind),
                 frame_.size(), options_.host, options_.port,
                 options_.transport == UnitTransport::Tcp ? "TCP" : "UDP", StrToHexText(frame_));
      std::fflush(out_);
    }
    Arm(options_.timeoutSeconds, {});
    Read();
  }

  void Read() {
    const auto onRead = [this](const error_code& ec, size_t n) {
      if (closed_) {
        return;
      }
      if (ec) {
        RecordIncomplete();
        if (result_.frames.empty()) {
          Fail(ec == asio::error::connection_refused
                   ? fmt::format("nothing answers on {}:{} (connection refused)", options_.host,
                                 options_.port)
                   : fmt::format("the receiver closed the connection without an answer ({})",
                                 ec.message()));
        } else {
          Close();
        }
        return;
      }
      if (options_.transport == UnitTransport::Tcp) {
        stream_.append(in_.data(), n);
        while (auto frame = TakeFrame(stream_)) {
          Take(*frame);
        }
      } else {
        Take(std::string(in_.data(), n));
      }
      if (!closed_) {
        Read();
      }
    };
    if (options_.transport == UnitTransport::Tcp) {
      tcp_.async_read_some(asio::buffer(in_), onRead);
    } else {
      udp_.async_receive(asio::buffer(in_), onRead);
    }
  }

  void Record(const std::string& bytes) {
    const bool first = result_.frames.empty();
    result_.frames.push_back(DecodeSystemFrame(bytes, options_.keyText, log_));
    if (out_) {
      fmt::print(out_, "{} {}\n",
                 first ? "Answer:" : "Then:", DescribeFrame(result_.frames.back()));
      // Someone (or a script) watching --listen sees each frame as it comes.
      std::fflush(out_);
    }
  }

  // The start of a frame whose rest never came.
  void RecordIncomplete() {
    if (!stream_.empty()) {
      Record(std::exchange(stream_, std::string()));
    }
  }

  void Take(const std::string& bytes) {
    const bool first = result_.frames.empty();
    Record(bytes);
    if (first) {
      if (options_.listenSeconds > 0) {
        Arm(options_.listenSeconds, {});
      } else {
        Close();
      }
    }
  }

  void Fail(std::string error) {
    if (result_.error.empty()) {
      result_.error = std::move(error);
    }
    Close();
  }

  void Close() {
    closed_ = true;
    error_code ignored;
    deadline_.cancel();
    tcp_.close(ignored);
    udp_.close(ignored);
  }

  const UnitOptions& options_;
  const std::string frame_;
  std::FILE* out_;
  asio::io_context io_;
  asio::ip::tcp::socket tcp_;
  asio::ip::udp::socket udp_;
  asio::steady_timer deadline_;
  asio::ip::udp::endpoint target_;
  CapturingLogger log_;
  std::array<char, 4096> in_{};
  std::string stream_;
  SendResult result_;
  bool sent_ = false;
  bool closed_ = false;
};

}  // namespace

SendResult SendOneFrame(const UnitOptions& options, const std::string& frame, std::FILE* out) {
  Exchange exchange(options, frame, out);
  return exchange.Run();
}

}  // namespace talvero
