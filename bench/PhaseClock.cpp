#include "bench/PhaseClock.h"

#include <cstdio>

namespace bench {
namespace {

std::string_view NameOf(lease::XmlSavePhase phase) {
  switch (phase) {
    case lease::XmlSavePhase::TreeBuilt:
      return "tree build";
    case lease::XmlSavePhase::Serialised:
      return "serialise";
    case lease::XmlSavePhase::Written:
      return "write";
    case lease::XmlSavePhase::Released:
      return "release";
  }
  return "unknown phase";
}

}  // namespace

PhaseClock::PhaseClock() : lapStart_(std::chrono::steady_clock::now()) {}

void PhaseClock::PhaseEnded(lease::XmlSavePhase phase) {
  Lap(NameOf(phase));
}

void PhaseClock::Lap(std::string_view phase) {
  const auto now = std::chrono::steady_clock::now();
  const std::chrono::duration<double, std::milli> elapsed = now - lapStart_;
  std::fprintf(stderr, "%.*s %.1f ms\n", static_cast<int>(phase.size()), phase.data(),
               elapsed.count());
  lapStart_ = now;
}

}  // namespace bench
