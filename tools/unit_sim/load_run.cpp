#include "unit_sim/load_run.hpp"

#include <algorithm>
#include <csignal>

#include "common/steady_span.hpp"
#include "common/system_frame.hpp"
#include "protocol/frame_types.hpp"
#include "unit_sim/unit_frames.hpp"

namespace talvero {

namespace asio = boost::asio;
using boost::system::error_code;

namespace {

// Connections opened at once: enough to fill the receiver quickly, few enough
// not to overflow its listen backlog.
constexpr size_t kConnectsInFlight = 256;

}  // namespace

LoadRun::LoadRun(asio::io_context& io, const UnitOptions& options)
    : options_(options),
      address_(asio::ip::make_address_v4(options.host)),
      pacerTimer_(io),
      sweepTimer_(io),
      durationTimer_(io),
      signals_(io, SIGINT, SIGTERM),
      fields_(options.fields),
      timeout_(Span(options.timeoutSeconds)) {
  units_.reserve(options.units);
  for (size_t i = 0; i < options.units; ++i) {
    const auto unitNr = static_cast<uint16_t>(options.unitNr + i);
    if (options.transport == UnitTransport::Tcp) {
      units_.push_back(std::make_unique<TcpSimUnit>(io, *this, unitNr));
    } else {
      units_.push_back(std::make_unique<UdpSimUnit>(io, *this, unitNr));
    }
    units_.back()->nextFrameID = options.frameID;
  }
  if (options.rate) {
    // At most a tenth of a second of frames is made up after a stall.
    pacer_.emplace(*options.rate, *options.rate / 10);
  }
}

void LoadRun::Start() {
  signals_.async_wait([this](const error_code& ec, int) {
    if (ec) {
      return;
    }
    if (phase_ == Phase::Connecting || phase_ == Phase::Sending) {
      // The first signal ends sending; the answers still out may arrive.
      EndSending();
      signals_.async_wait([this](const error_code& again, int) {
        if (!again) {
          Finish();
        }
      });
    } else {
      Finish();
    }
  });
  connectStart_ = SteadyClock::now();
  Sweep();
  ConnectNext();
}

void LoadRun::ConnectNext() {
  while (phase_ == Phase::Connecting && connectsInFlight_ < kConnectsInFlight &&
         nextToConnect_ < units_.size()) {
    SimUnit& unit = *units_[nextToConnect_++];
    unit.state = SimUnit::State::Connecting;
    unit.deadline = SteadyClock::now() + timeout_;
    ++connectsInFlight_;
    unit.Connect(address_, options_.port);
  }
  if (phase_ == Phase::Connecting && connectsInFlight_ == 0 && nextToConnect_ == units_.size()) {
    BeginSending();
  }
}

void LoadRun::ConnectDone() {
  --connectsInFlight_;
  ConnectNext();
}

void LoadRun::OnConnected(SimUnit& unit) {
  if (unit.state != SimUnit::State::Connecting) {
    return;
  }
  unit.state = SimUnit::State::Ready;
  ++connected_;
  ConnectDone();
}

void LoadRun::OnConnectFailed(SimUnit& unit) {
  if (unit.state != SimUnit::State::Connecting) {
    return;
  }
  ++counters_.connectFailures;
  Kill(unit);
  ConnectDone();
}

void LoadRun::BeginSending() {
  if (phase_ != Phase::Connecting) {
    return;
  }
  phase_ = Phase::Sending;
  sendStart_ = SteadyClock::now();
  if (connected_ == 0) {
    sendEnd_ = sendStart_;
    Finish();
    return;
  }
  durationTimer_.expires_after(Span(options_.durationSeconds));
  durationTimer_.async_wait([this](const error_code& ec) {
    if (!ec) {
      EndSending();
    }
  });
  if (pacer_) {
    pacer_->Start(sendStart_);
  }
  for (const auto& unit : units_) {
    if (unit->state == SimUnit::State::Ready) {
      BecomeReady(*unit);
    }
  }
}

void LoadRun::SendFrom(SimUnit& unit) {
  const FrameSeal seal{unit.unitNr, unit.nextFrameID, options_.keyText};
  TDateTime now{};
  if (options_.kind == UnitFrameKind::AlarmEvent) {
    now = clock_.Now();
    if (!options_.accountGiven) {
      fields_.account = unit.unitText;
    }
  }
  std::string frame = BuildUnitFrame(options_.kind, fields_, seal, now, log_);
  unit.awaiting = true;
  ++unit.nextFrameID;
  ++awaitingCount_;
  ++counters_.sent;
  unit.sentAt = SteadyClock::now();
  unit.deadline = unit.sentAt + timeout_;
  unit.Send(std::move(frame));
}

void LoadRun::BecomeReady(SimUnit& unit) {
  if (phase_ != Phase::Sending || unit.state != SimUnit::State::Ready || unit.awaiting ||
      unit.WritePending()) {
    return;
  }
  if (!pacer_) {
    SendFrom(unit);
    return;
  }
  if (!unit.queued) {
    unit.queued = true;
    ready_.push_back(&unit);
  }
  TrySend();
}

void LoadRun::TrySend() {
  if (phase_ != Phase::Sending) {
    return;
  }
  size_t available = pacer_->Available(SteadyClock::now());
  while (available > 0 && !ready_.empty()) {
    SimUnit& unit = *ready_.front();
    ready_.pop_front();
    unit.queued = false;
    if (unit.state != SimUnit::State::Ready || unit.awaiting || unit.WritePending()) {
      continue;
    }
    SendFrom(unit);
    pacer_->Take();
    --available;
  }
  if (!ready_.empty() && !pacerArmed_) {
    pacerArmed_ = true;
    pacerTimer_.expires_after(pacer_->UntilNext());
    pacerTimer_.async_wait([this](const error_code& ec) {
      pacerArmed_ = false;
      if (!ec) {
        TrySend();
      }
    });
  }
}

void LoadRun::OnFrame(SimUnit& unit, std::string_view bytes) {
  const auto now = SteadyClock::now();
  const SystemFrame answer = DecodeSystemFrame(bytes, options_.keyText, log_);
  if (!unit.awaiting || !AnswersFrame(answer, unit.unitNr, unit.AwaitedFrameID())) {
    // Unreadable, or the late answer to a frame that already timed out.
    ++counters_.badAnswers;
    return;
  }
  if (now >= unit.deadline) {
    // Past its time-out, which the sweep had not yet seen.
    ++counters_.timeouts;
    ++counters_.badAnswers;
    StopAwaiting(unit);
    BecomeReady(unit);
    DrainIfDone();
    return;
  }
  if (answer.IsNack()) {
    ++counters_.nacks;
  } else if (answer.type == static_cast<uint8_t>(DeviceFrameType::Ack)) {
    ++counters_.acks;
  } else {
    ++counters_.badAnswers;
  }
  const auto micros = std::chrono::duration_cast<std::chrono::microseconds>(now - unit.sentAt);
  latencies_.push_back(static_cast<uint32_t>(std::min<int64_t>(micros.count(), UINT32_MAX)));
  unit.answered = true;
  StopAwaiting(unit);
  BecomeReady(unit);
  DrainIfDone();
}

void LoadRun::OnWritten(SimUnit& unit) {
  // A unit whose answer came, or timed out, before its frame was all written
  // is ready only now.
  BecomeReady(unit);
}

void LoadRun::OnSendFailed(SimUnit& unit) {
  ++counters_.sendErrors;
  if (options_.transport == UnitTransport::Tcp) {
    if (unit.awaiting) {
      ++counters_.lost;
    }
    ++counters_.disconnects;
    Kill(unit);
    DrainIfDone();
  }
  // On UDP the frame waits on: it times out, so a missing receiver is not
  // flooded.
}

void LoadRun::OnClosed(SimUnit& unit) {
  if (unit.state != SimUnit::State::Ready) {
    return;
  }
  ++counters_.disconnects;
  if (unit.awaiting) {
    ++counters_.lost;
  }
  Kill(unit);
  DrainIfDone();
}

void LoadRun::StopAwaiting(SimUnit& unit) {
  if (unit.awaiting) {
    unit.awaiting = false;
    --awaitingCount_;
  }
}

void LoadRun::Kill(SimUnit& unit) {
  StopAwaiting(unit);
  unit.state = SimUnit::State::Dead;
  unit.Close();
}

void LoadRun::Sweep() {
  if (phase_ == Phase::Done) {
    return;
  }
  const auto now = SteadyClock::now();
  for (const auto& unit : units_) {
    if (unit->state == SimUnit::State::Connecting && now >= unit->deadline) {
      ++counters_.connectFailures;
      Kill(*unit);
      --connectsInFlight_;
    } else if (unit->awaiting && now >= unit->deadline) {
      ++counters_.timeouts;
      StopAwaiting(*unit);
      BecomeReady(*unit);
    }
  }
  ConnectNext();
  DrainIfDone();
  if (phase_ == Phase::Done) {
    return;
  }
  const auto period = std::clamp<SteadyClock::duration>(timeout_ / 4, std::chrono::milliseconds(1),
                                                        std::chrono::milliseconds(50));
  sweepTimer_.expires_after(period);
  sweepTimer_.async_wait([this](const error_code& ec) {
    if (!ec) {
      Sweep();
    }
  });
}

void LoadRun::EndSending() {
  if (phase_ == Phase::Connecting) {
    // Stopped before every unit was connected: send nothing.
    sendStart_ = SteadyClock::now();
  }
  if (phase_ != Phase::Connecting && phase_ != Phase::Sending) {
    return;
  }
  phase_ = Phase::Draining;
  sendEnd_ = SteadyClock::now();
  durationTimer_.cancel();
  pacerTimer_.cancel();
  DrainIfDone();
}

void LoadRun::DrainIfDone() {
  if (phase_ == Phase::Draining && awaitingCount_ == 0) {
    Finish();
  }
}

void LoadRun::Finish() {
  if (phase_ == Phase::Done) {
    return;
  }
  if (phase_ != Phase::Draining) {
    sendEnd_ = SteadyClock::now();
  }
  phase_ = Phase::Done;
  for (const auto& unit : units_) {
    if (unit->awaiting) {
      ++counters_.timeouts;
      StopAwaiting(*unit);
    }
    if (unit->state == SimUnit::State::Ready) {
      ++heldAtEnd_;
    }
    unit->Close();
  }
  pacerTimer_.cancel();
  sweepTimer_.cancel();
  durationTimer_.cancel();
  signals_.cancel();
}

LoadSummary LoadRun::Summary() {
  LoadSetup setup;
  setup.units = units_.size();
  setup.transport = options_.transport == UnitTransport::Tcp ? "tcp" : "udp";
  setup.frame = std::string(KindName(options_.kind));
  setup.rate = options_.rate.value_or(0);
  setup.durationSeconds = options_.durationSeconds;
  setup.encrypted = options_.keyText.has_value();
  LoadSummary out = MakeLoadSummary(setup, counters_, latencies_, Seconds(sendEnd_ - sendStart_));
  out.connected = connected_;
  out.heldAtEnd = heldAtEnd_;
  out.unitsAnswered = static_cast<size_t>(
      std::count_if(units_.begin(), units_.end(), [](const auto& unit) { return unit->answered; }));
  out.connectSeconds = Seconds(sendStart_ - connectStart_);
  return out;
}

}  // namespace talvero
