// Huge pages on POSIX systems: only Linux with glibc has the tunable; other
// systems start once.
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <string>

#include "platform/memory.h"

namespace memory {

void UseHugePages(char** argv) {
#if defined(__linux__) && defined(__GLIBC__)
  std::string mode;
  std::getline(std::ifstream("/sys/kernel/mm/transparent_hugepage/enabled"), mode);
  if (mode.empty() || mode.find("[never]") != std::string::npos) return;
  const char* before = std::getenv("GLIBC_TUNABLES");
  const std::string saved = before ? before : "";
  const std::optional<std::string> tunables = TunablesWithHugePages(before);
  if (!tunables || setenv("GLIBC_TUNABLES", tunables->c_str(), 1) != 0) return;
  execv("/proc/self/exe", argv);
  // Not started again: on as we are, with the environment as it was.
  if (before)
    setenv("GLIBC_TUNABLES", saved.c_str(), 1);
  else
    unsetenv("GLIBC_TUNABLES");
#else
  (void)argv;
#endif
}

}  // namespace memory
