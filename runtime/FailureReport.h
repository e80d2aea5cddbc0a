#pragma once

#include <string>
#include <string_view>

namespace runtime {

class Exception;

// The report of a failure that ended the run, before any conversion for the console:
//   Exception <kind> in module <module> at <address>.CR LF <message>[.]CR LF CR LF
std::string FormatFailureReport(const Exception& failure, std::string_view moduleName);

// The address as the report shows it: upper-case hexadecimal, zero-padded to the pointer width.
std::string FormatCodeAddress(const void* address);

}  // namespace runtime
