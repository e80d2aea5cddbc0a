#pragma once

#include <chrono>
#include <string_view>

#include "lease/XmlWriter.h"

namespace bench {

// Writes one line per phase to standard error: its name and the milliseconds since the end of the
// phase before it (or since the clock was made).
class PhaseClock : public lease::XmlSaveObserver {
 public:
  PhaseClock();
  void PhaseEnded(lease::XmlSavePhase phase) override;
  void Lap(std::string_view phase);

 private:
  std::chrono::steady_clock::time_point lapStart_;
};

}  // namespace bench
