// priority: work that may wait gives way to work that may not. A helper
// thread that calls Lower runs when the cores have time to spare, so the
// drawing threads of a software renderer keep theirs.
#pragma once

namespace priority {

// Lowers the calling thread's scheduling priority (a nice value of 10 on
// POSIX systems, below normal on Windows); nothing when the system refuses.
void Lower();

}  // namespace priority
