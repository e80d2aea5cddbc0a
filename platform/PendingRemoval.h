#pragma once

namespace platform {

// What the platforms' interrupt handlers share: the path of the temporary file to remove, kept in
// plain storage that is written before its flag is raised, so that a signal handler (or the
// console's handler thread) reads it without allocating or locking. Null when there is none.
const char* PendingRemovalPath();

// Installs the platform's interrupt handlers, once; they remove PendingRemovalPath().
void InstallInterruptHandlers();

}  // namespace platform
