#include "runtime/FailureReport.h"

#include <gtest/gtest.h>

#include "runtime/Exception.h"

namespace {

using runtime::FormatFailureReport;

std::string ReportBody(const runtime::Exception& failure) {
  std::string report = FormatFailureReport(failure, "leasedump");
  return report.substr(report.find(".\r\n") + 3);
}

TEST(FailureReport, NamesKindModuleAndAddressOnTheFirstLine) {
  runtime::EListError failure(7);
  std::string report = FormatFailureReport(failure, "leasedump");
  std::string expectedStart = "Exception EListError in module leasedump at " +
                              runtime::FormatCodeAddress(failure.Address()) + ".\r\n";
  EXPECT_EQ(report.substr(0, expectedStart.size()), expectedStart);
  EXPECT_EQ(ReportBody(failure), "List index out of bounds (7).\r\n\r\n");
}

TEST(FailureReport, AddsAFullStopOnlyWhereTheMessageLacksOne) {
  EXPECT_EQ(ReportBody(runtime::Exception("XML: Element type error.")),
            "XML: Element type error.\r\n\r\n");
  EXPECT_EQ(ReportBody(runtime::Exception("Integer overflow")), "Integer overflow.\r\n\r\n");
  EXPECT_EQ(ReportBody(runtime::Exception("")), "\r\n\r\n");
}

TEST(FailureReport, RecordsTheAddressOfTheRaisingCode) {
  try {
    throw runtime::EIntOverflow();
  } catch (const runtime::Exception& failure) {
    EXPECT_NE(failure.Address(), nullptr);
  }
}

TEST(FailureReport, WritesAddressesAsUpperCaseHexOfPointerWidth) {
  std::string text = runtime::FormatCodeAddress(reinterpret_cast<const void*>(0xBEEF12));
  EXPECT_EQ(text.size(), 2 * sizeof(void*));
  EXPECT_EQ(text.substr(text.size() - 8), "00BEEF12");
  EXPECT_EQ(runtime::FormatCodeAddress(nullptr), std::string(2 * sizeof(void*), '0'));
}

void ExpectKind(const runtime::Exception& failure, const char* kind, const char* message) {
  EXPECT_STREQ(failure.ClassName(), kind);
  EXPECT_EQ(failure.Message(), message);
}

TEST(FailureKinds, CarryTheirNamesAndTexts) {
  ExpectKind(runtime::EIntOverflow(), "EIntOverflow", "Integer overflow");
  ExpectKind(runtime::EInvalidCast(), "EInvalidCast", "Invalid class typecast");
  ExpectKind(runtime::EAbstractError(), "EAbstractError", "Abstract Error");
  ExpectKind(runtime::EOutOfMemory(), "EOutOfMemory", "Out of memory");
  ExpectKind(runtime::EListError(-1), "EListError", "List index out of bounds (-1)");
  ExpectKind(runtime::EInOutError(runtime::IoErrorKind::DiskFull, 28), "EInOutError", "Disk full");
  ExpectKind(runtime::EInOutError(runtime::IoErrorKind::Other, 32), "EInOutError", "I/O error 32");
  ExpectKind(runtime::EInOutError(runtime::IoErrorKind::LineTooLong, 0), "EInOutError",
             "Input line too long");
}

}  // namespace
