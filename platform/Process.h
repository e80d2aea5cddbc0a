#pragma once

#include <string>
#include <vector>

namespace platform {

// Called first thing by the entry point, with what the system passed to it: remembers the
// arguments, and makes a broken standard output or a file over the size limit a write error
// instead of a silent end.
void PrepareProcess(int argc, char** argv);

// The command-line arguments after the program's own name, split by the platform's rules.
std::vector<std::string> ProgramArguments();

// The program's file name without its directory, as the failure report names the module.
std::string ProgramFileName();

}  // namespace platform
