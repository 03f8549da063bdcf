#include "unit_sim/rate_pacer.hpp"

#include <algorithm>
#include <cmath>

#include "common/steady_span.hpp"

namespace talvero {

RatePacer::RatePacer(double perSecond, double burstCap)
    : perSecond_(perSecond), burstCap_(std::max(1.0, burstCap)) {}

void RatePacer::Start(Clock::time_point now) {
  last_ = now;
  // The first frame goes out at once.
  credit_ = 1;
}

size_t RatePacer::Available(Clock::time_point now) {
  if (now > last_) {
    credit_ = std::min(burstCap_, credit_ + Seconds(now - last_) * perSecond_);
    last_ = now;
  }
  return credit_ < 1 ? 0 : static_cast<size_t>(std::floor(credit_));
}

void RatePacer::Take() {
  credit_ -= 1;
}

RatePacer::Clock::duration RatePacer::UntilNext() const {
  const double missing = std::max(0.0, 1 - credit_);
  return std::max<Clock::duration>(Span(missing / perSecond_), std::chrono::milliseconds(1));
}

}  // namespace talvero
