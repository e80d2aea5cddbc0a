#include "platform/dhcpd/DhcpdTime.h"

#include <chrono>
#include <limits>

namespace platform::dhcpd {
namespace {

// A number of one to `maxDigits` decimal digits, the whole of `text`.
std::optional<std::int64_t> DecimalOf(std::string_view text, std::size_t maxDigits) {
  if (text.empty() || text.size() > maxDigits) {
    return std::nullopt;
  }
  std::int64_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') {
      return std::nullopt;
    }
    value = value * 10 + (c - '0');
  }
  return value;
}

// "A<sep>B<sep>C" as three numbers of at most `maxFirst`, 2 and 2 digits.
bool SplitThree(std::string_view text, char separator, std::size_t maxFirst,
                std::int64_t (&parts)[3]) {
  for (int i = 0; i < 3; ++i) {
    std::size_t end = i < 2 ? text.find(separator) : text.size();
    if (end == std::string_view::npos) {
      return false;
    }
    std::optional<std::int64_t> number = DecimalOf(text.substr(0, end), i == 0 ? maxFirst : 2);
    if (!number) {
      return false;
    }
    parts[i] = *number;
    text.remove_prefix(i < 2 ? end + 1 : end);
  }
  return true;
}

LeaseTime DateAndTime(std::string_view weekday, std::string_view date, std::string_view time) {
  using namespace std::chrono;
  std::int64_t ymd[3];
  std::int64_t hms[3];
  std::optional<std::int64_t> weekdayNumber = DecimalOf(weekday, 1);
  if (!weekdayNumber || *weekdayNumber > 6 || !SplitThree(date, '/', 5, ymd) ||
      !SplitThree(time, ':', 2, hms) || hms[0] > 23 || hms[1] > 59 || hms[2] > 60) {
    return {};
  }
  year_month_day calendar{year{static_cast<int>(ymd[0])}, month{static_cast<unsigned>(ymd[1])},
                          std::chrono::day{static_cast<unsigned>(ymd[2])}};
  if (!calendar.ok()) {
    return {};
  }
  std::int64_t days = sys_days{calendar}.time_since_epoch().count();
  return {true, days * 86400 + hms[0] * 3600 + hms[1] * 60 + hms[2]};
}

}  // namespace

LeaseTime ParseLeaseTime(std::span<const std::string_view> words) {
  if (words.size() == 1 && words[0] == "never") {
    return {true, std::nullopt};
  }
  if (words.size() == 2 && words[0] == "epoch") {
    // Up to 18 digits, which no int64 overflows.
    std::optional<std::int64_t> seconds = DecimalOf(words[1], 18);
    return seconds ? LeaseTime{true, *seconds} : LeaseTime{};
  }
  if (words.size() == 3) {
    return DateAndTime(words[0], words[1], words[2]);
  }
  return {};
}

}  // namespace platform::dhcpd
