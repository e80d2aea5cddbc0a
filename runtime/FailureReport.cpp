#include "runtime/FailureReport.h"

#include <cstdint>

#include "runtime/Exception.h"

namespace runtime {

std::string FormatCodeAddress(const void* address) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  auto value = reinterpret_cast<std::uintptr_t>(address);
  std::string text(2 * sizeof(value), '0');
  for (auto it = text.rbegin(); it != text.rend(); ++it) {
    *it = kDigits[value & 0xF];
    value >>= 4;
  }
  return text;
}

std::string FormatFailureReport(const Exception& failure, std::string_view moduleName) {
  std::string report = "Exception ";
  report += failure.ClassName();
  report += " in module ";
  report += moduleName;
  report += " at ";
  report += FormatCodeAddress(failure.Address());
  report += ".\r\n";
  report += failure.Message();
  if (!failure.Message().empty() && failure.Message().back() != '.') {
    report += '.';
  }
  report += "\r\n\r\n";
  return report;
}

}  // namespace runtime
