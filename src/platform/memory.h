// memory: big blocks in huge pages. Loading a demo allocates hundreds of
// megabytes of texture storage in the driver, and touching each new 4 KiB
// page costs a page fault; in 2 MiB pages the sixteen-2048x2048-JPEG demo
// reaches its first frame three times sooner on two cores (bench/load_bench.sh).
// glibc puts its big blocks in huge pages only when told so at start-up, by
// its malloc.hugetlb tunable, so the player starts once more with it set.
#pragma once

#include <optional>
#include <string>

namespace memory {

// On Linux with glibc and transparent huge pages (not "never"), and unless
// the tunable is set already, starts this program again with the same
// arguments and GLIBC_TUNABLES extended by "glibc.malloc.hugetlb=1"; returns
// only when it did not (elsewhere, already set, or the new start failed).
// Call it first thing in main.
void UseHugePages(char** argv);

// GLIBC_TUNABLES as it is to be for huge pages, given its value now (null:
// unset); nothing when it names malloc.hugetlb already, so a program started
// again never starts once more.
std::optional<std::string> TunablesWithHugePages(const char* now);

}  // namespace memory
