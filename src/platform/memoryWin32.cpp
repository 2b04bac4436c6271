// Huge pages on Windows would need a privilege most accounts lack: the
// program starts once, as it is.
#include "platform/memory.h"

namespace memory {

void UseHugePages(char**) {}

}  // namespace memory
