#include "runtime/Exception.h"

#include <utility>

// The failure report names the code that raised a failure. Each constructor is kept out of line
// and records its own return address, which lies in the function that raised.
#if defined(_MSC_VER)
#include <intrin.h>
#pragma intrinsic(_ReturnAddress)
#define RAISING_ADDRESS() _ReturnAddress()
#define NOT_INLINED __declspec(noinline)
#else
#define RAISING_ADDRESS() __builtin_return_address(0)
#define NOT_INLINED __attribute__((noinline))
#endif

namespace runtime {

NOT_INLINED Exception::Exception(std::string message)
    : message_(std::move(message)), address_(RAISING_ADDRESS()) {}

Exception::Exception(std::string message, const void* address)
    : message_(std::move(message)), address_(address) {}

NOT_INLINED EListError::EListError(int index)
    : Exception("List index out of bounds (" + std::to_string(index) + ")", RAISING_ADDRESS()) {}

NOT_INLINED EIntOverflow::EIntOverflow() : Exception("Integer overflow", RAISING_ADDRESS()) {}

NOT_INLINED EInvalidCast::EInvalidCast() : Exception("Invalid class typecast", RAISING_ADDRESS()) {}

NOT_INLINED EAbstractError::EAbstractError() : Exception("Abstract Error", RAISING_ADDRESS()) {}

static std::string InOutErrorText(IoErrorKind kind, int errorNumber) {
  if (kind == IoErrorKind::DiskFull) {
    return "Disk full";
  }
  if (kind == IoErrorKind::LineTooLong) {
    return "Input line too long";
  }
  return "I/O error " + std::to_string(errorNumber);
}

NOT_INLINED EInOutError::EInOutError(IoErrorKind kind, int errorNumber)
    : Exception(InOutErrorText(kind, errorNumber), RAISING_ADDRESS()), errorNumber_(errorNumber) {}

NOT_INLINED EOutOfMemory::EOutOfMemory() : Exception("Out of memory", RAISING_ADDRESS()) {}

EOutOfMemory::EOutOfMemory(const void* address) : Exception("Out of memory", address) {}

}  // namespace runtime
