#include "base/runtime_metrics.hpp"

namespace talvero {

RuntimeMetrics& Metrics() {
  static RuntimeMetrics metrics;
  return metrics;
}

}  // namespace talvero
