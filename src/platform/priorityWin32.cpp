// Thread priority on Windows.
#include <windows.h>

#include "platform/priority.h"

namespace priority {

void Lower() { SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_BELOW_NORMAL); }

}  // namespace priority
