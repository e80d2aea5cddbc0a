#include "platform/Console.h"

#include <termios.h>
#include <unistd.h>

#include <cerrno>

#include "platform/InputLines.h"
#include "platform/Interrupts.h"

namespace platform {
namespace {

IoStatus FailureOf(int errorNumber) {
  IoStatus status;
  status.ok = false;
  status.errorNumber = errorNumber;
  status.kind = errorNumber == ENOSPC || errorNumber == EDQUOT ? runtime::IoErrorKind::DiskFull
                                                               : runtime::IoErrorKind::Other;
  return status;
}

IoStatus WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    ssize_t written = ::write(fd, bytes.data(), bytes.size());
    if (written < 0) {
      if (errno == EINTR) {
        continue;
      }
      return FailureOf(errno);
    }
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
  return {};
}

// A key that sends several bytes (an arrow key) arrives as one burst: what follows the first
// byte within a tenth of a second belongs to it.
constexpr cc_t kRestOfKeyTenths = 1;
constexpr int kLongestKeySequence = 16;

// Puts the terminal into single-key mode for the life of the object, and back also when a signal
// ends the process meanwhile. Signals from the keyboard are off, so that Ctrl+C counts as a key.
// The mode goes back with the input flushed, so that nothing of the key is left for the shell.
class SingleKeyTerminal {
 public:
  SingleKeyTerminal()
      : active_(RestoreTerminalOnInterrupt() && ::tcgetattr(STDIN_FILENO, &saved_) == 0) {
    if (active_) {
      active_ = SetMode(1, 0);
    }
  }
  ~SingleKeyTerminal() {
    if (active_) {
      ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved_);
    }
    ForgetTerminalOnInterrupt();
  }
  SingleKeyTerminal(const SingleKeyTerminal&) = delete;
  SingleKeyTerminal& operator=(const SingleKeyTerminal&) = delete;
  bool Active() const { return active_; }

  void DropRestOfKey() {
    if (!SetMode(0, kRestOfKeyTenths)) {
      return;
    }
    char rest[kLongestKeySequence];
    for (int reads = 0; reads < kLongestKeySequence; ++reads) {
      if (::read(STDIN_FILENO, rest, sizeof rest) <= 0) {
        return;
      }
    }
  }

 private:
  bool SetMode(cc_t minimum, cc_t tenths) {
    termios raw = saved_;
    raw.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO | ISIG);
    raw.c_cc[VMIN] = minimum;
    raw.c_cc[VTIME] = tenths;
    return ::tcsetattr(STDIN_FILENO, TCSANOW, &raw) == 0;
  }

  termios saved_{};
  bool active_;
};

}  // namespace

IoStatus WriteStandardOutput(std::string_view bytes) {
  return WriteAll(STDOUT_FILENO, bytes);
}

IoStatus WriteStandardError(std::string_view bytes) {
  return WriteAll(STDERR_FILENO, bytes);
}

StandardInputLine ReadStandardInputLine() {
  return ReadLineFrom([](char* buffer, std::size_t size) {
    InputChunk chunk;
    for (;;) {
      ssize_t count = ::read(STDIN_FILENO, buffer, size);
      if (count >= 0) {
        chunk.count = static_cast<std::size_t>(count);
        return chunk;
      }
      // A closed descriptor is an input that has ended, not a broken console.
      if (errno == EBADF) {
        return chunk;
      }
      if (errno != EINTR) {
        chunk.status = FailureOf(errno);
        return chunk;
      }
    }
  });
}

void WaitForConsoleKey() {
  if (!::isatty(STDIN_FILENO)) {
    return;
  }
  SingleKeyTerminal terminal;
  if (!terminal.Active()) {
    return;
  }
  char key;
  ssize_t count;
  while ((count = ::read(STDIN_FILENO, &key, 1)) < 0 && errno == EINTR) {
  }
  if (count > 0) {
    terminal.DropRestOfKey();
  }
}

std::string ToConsoleCodePage(std::string_view text) {
  return std::string(text);
}

}  // namespace platform
