#pragma once

namespace platform {

// The sockets library, started for the life of the holder (around the query and the writers)
// and stopped when it goes, on every way out, an escaping failure included. A start that failed
// is not stopped; the query then reports what the server calls make of it.
class SocketLibrary {
 public:
  SocketLibrary() : started_(Start()) {}
  ~SocketLibrary() {
    if (started_) {
      Stop();
    }
  }
  SocketLibrary(const SocketLibrary&) = delete;
  SocketLibrary& operator=(const SocketLibrary&) = delete;

 private:
  // Version 2.0 is asked for; true when the library started.
  static bool Start();
  static void Stop();

  bool started_;
};

}  // namespace platform
