#pragma once

#include <string>

namespace platform {

// The one unfinished temporary file of the process, removed if an interrupt (Ctrl+C, a request
// to terminate, the console closing) ends the process before it is committed or discarded. The
// path is kept where a signal handler can reach it without allocating.
void RemoveOnInterrupt(const std::string& path);
void KeepOnInterrupt();

}  // namespace platform
