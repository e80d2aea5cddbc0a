#pragma once

#include <exception>
#include <string>

namespace runtime {

// The general failure: a message text and the code address where it was raised. Nothing below
// the entry point catches it; the entry point turns it into the failure report.
class Exception : public std::exception {
 public:
  explicit Exception(std::string message);
  ~Exception() override = default;

  const std::string& Message() const noexcept { return message_; }
  const void* Address() const noexcept { return address_; }
  // The name of the failure's kind, as the failure report shows it.
  virtual const char* ClassName() const noexcept { return "Exception"; }
  const char* what() const noexcept override { return message_.c_str(); }

 protected:
  Exception(std::string message, const void* address);

 private:
  std::string message_;
  const void* address_;
};

class EListError : public Exception {
 public:
  explicit EListError(int index);
  const char* ClassName() const noexcept override { return "EListError"; }
};

class EIntOverflow : public Exception {
 public:
  EIntOverflow();
  const char* ClassName() const noexcept override { return "EIntOverflow"; }
};

class EInvalidCast : public Exception {
 public:
  EInvalidCast();
  const char* ClassName() const noexcept override { return "EInvalidCast"; }
};

class EAbstractError : public Exception {
 public:
  EAbstractError();
  const char* ClassName() const noexcept override { return "EAbstractError"; }
};

// What went wrong with a console read or write, in the terms of the failure texts.
enum class IoErrorKind { Other, DiskFull, LineTooLong };

class EInOutError : public Exception {
 public:
  EInOutError(IoErrorKind kind, int errorNumber);
  int ErrorNumber() const noexcept { return errorNumber_; }
  const char* ClassName() const noexcept override { return "EInOutError"; }

 private:
  int errorNumber_;
};

class EOutOfMemory : public Exception {
 public:
  EOutOfMemory();
  // For memory exhaustion reported by the language runtime, where no raising code is known.
  explicit EOutOfMemory(const void* address);
  const char* ClassName() const noexcept override { return "EOutOfMemory"; }
};

}  // namespace runtime
