#include "platform/sockets.h"

namespace platform {

// POSIX sockets need no library start-up or shutdown.
int socketLibraryStartup() { return 0; }
void socketLibraryCleanup() {}

}  // namespace platform
