// Thread priority on POSIX systems: on Linux the nice value belongs to each
// thread, so setpriority on "this process" (0) changes the calling thread.
#include <sys/resource.h>

#include "platform/priority.h"

namespace priority {

void Lower() { (void)setpriority(PRIO_PROCESS, 0, 10); }

}  // namespace priority
