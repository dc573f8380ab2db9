// Process-wide socket library set-up. Some platforms need the socket library
// started before the first socket and shut down at the end of a run.
#pragma once

namespace platform {

// Starts the socket library; returns 0 on success, a platform error code
// otherwise. Safe to call more than once.
int socketLibraryStartup();

// Shuts the socket library down; safe to call when it was never started.
void socketLibraryCleanup();

}  // namespace platform
