// What a signal that ends the process leaves behind: no unfinished result file, the terminal in
// the mode it had; and the two signals the program turns into write errors stay errors.
#include "platform/Interrupts.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "platform/Console.h"
#include "platform/OutputFile.h"
#include "platform/Process.h"
#include "tests/platform/ChildProcess.h"
#include "tests/support/TempDir.h"

namespace {

using test_support::ExitedCleanly;
using test_support::InChild;
using test_support::NamesIn;
using test_support::ReadWholeFile;
using test_support::WriteWholeFile;

// The catchable signals whose default ends the process (some of each kind: the terminal's, the
// timers', the users', the faults', the real-time ones).
const std::vector<int> kEndingSignals = {SIGHUP,  SIGINT,  SIGQUIT,   SIGABRT,  SIGUSR1, SIGUSR2,
                                         SIGALRM, SIGTERM, SIGXCPU,   SIGPROF,  SIGPOLL, SIGPWR,
                                         SIGSYS,  SIGTRAP, SIGVTALRM, SIGRTMIN, SIGRTMAX};

bool EndedBy(int status, int signal) {
  return WIFSIGNALED(status) && WTERMSIG(status) == signal;
}

// Whether it is a temporary file or one written in place (the file made through a dangling link).
TEST(Interrupts, EverySignalThatEndsTheProcessLeavesNoUnfinishedFile) {
  test_support::TempDir dir;
  const std::string old = dir.PathOf("leases.xml");
  WriteWholeFile(old, "old");
  std::filesystem::create_symlink(dir.PathOf("made.xml"), dir.PathOf("dangling.xml"));
  for (const std::string& path : {old, dir.PathOf("dangling.xml")}) {
    for (int signal : kEndingSignals) {
      int status = InChild([&] {
        std::optional<platform::OutputFile> file = platform::OutputFile::Create(path);
        if (!file || !file->Write(std::string(1 << 20, 'x'))) {
          return 1;
        }
        std::raise(signal);
        return 2;
      });
      EXPECT_TRUE(EndedBy(status, signal)) << path << ", signal " << signal << ": " << status;
      EXPECT_EQ(NamesIn(dir.PathOf("")), (std::vector<std::string>{"dangling.xml", "leases.xml"}))
          << path << ", signal " << signal;
      EXPECT_EQ(ReadWholeFile(old), "old");
    }
  }
}

// A pseudo-terminal stands for the user's: the key wait switches it to single keys without echo.
class PseudoTerminal {
 public:
  PseudoTerminal() : controller_(::posix_openpt(O_RDWR | O_NOCTTY)) {
    if (controller_ >= 0 && ::grantpt(controller_) == 0 && ::unlockpt(controller_) == 0) {
      terminal_ = ::open(::ptsname(controller_), O_RDWR | O_NOCTTY);
    }
  }
  ~PseudoTerminal() {
    ::close(terminal_);
    ::close(controller_);
  }
  PseudoTerminal(const PseudoTerminal&) = delete;
  PseudoTerminal& operator=(const PseudoTerminal&) = delete;

  int Terminal() const { return terminal_; }
  tcflag_t LocalModes() const {
    termios mode{};
    ::tcgetattr(terminal_, &mode);
    return mode.c_lflag;
  }

 private:
  int controller_;
  int terminal_ = -1;
};

TEST(Interrupts, EverySignalThatEndsTheKeyWaitRestoresTheTerminal) {
  PseudoTerminal terminal;
  ASSERT_GE(terminal.Terminal(), 0);
  for (int signal : kEndingSignals) {
    pid_t child = ::fork();
    if (child == 0) {
      rlimit noCore{0, 0};
      ::setrlimit(RLIMIT_CORE, &noCore);
      ::dup2(terminal.Terminal(), STDIN_FILENO);
      platform::WaitForConsoleKey();
      ::_exit(0);
    }
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while ((terminal.LocalModes() & ICANON) && std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    EXPECT_FALSE(terminal.LocalModes() & ICANON) << "the key wait never began";
    ::kill(child, signal);
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_TRUE(EndedBy(status, signal)) << "signal " << signal << ": " << status;
    EXPECT_TRUE((terminal.LocalModes() & (ICANON | ECHO | ISIG)) == (ICANON | ECHO | ISIG))
        << "signal " << signal;
  }
}

// The program ignores both, as a shell may not: a file over the size limit (ulimit -f) and a
// closed pipe must fail the write, with the old file kept, rather than end the process.
TEST(Interrupts, AFileOverTheSizeLimitAndAClosedPipeAreWriteErrors) {
  test_support::TempDir dir;
  const std::string old = dir.PathOf("leases.xml");
  WriteWholeFile(old, "yesterday");
  int status = InChild([&] {
    std::signal(SIGXFSZ, SIG_DFL);
    std::signal(SIGPIPE, SIG_DFL);
    char program[] = "leasedump";
    char* arguments[] = {program, nullptr};
    platform::PrepareProcess(1, arguments);
    rlimit limit{4096, RLIM_INFINITY};
    ::setrlimit(RLIMIT_FSIZE, &limit);
    std::optional<platform::OutputFile> file = platform::OutputFile::Create(old);
    if (!file || file->Write(std::string(8192, 'x'))) {
      return 1;
    }
    file.reset();
    int ends[2];
    if (::pipe(ends) != 0) {
      return 2;
    }
    ::close(ends[0]);
    return ::write(ends[1], "x", 1) < 0 && errno == EPIPE ? 0 : 3;
  });
  EXPECT_TRUE(ExitedCleanly(status)) << status;
  EXPECT_EQ(ReadWholeFile(old), "yesterday");
  EXPECT_EQ(NamesIn(dir.PathOf("")), std::vector<std::string>{"leases.xml"});
}

}  // namespace
