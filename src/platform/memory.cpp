#include "platform/memory.h"

#include <cstring>

namespace memory {

std::optional<std::string> TunablesWithHugePages(const char* now) {
  const std::string current = now ? now : "";
  if (current.find("glibc.malloc.hugetlb=") != std::string::npos) return std::nullopt;
  return current.empty() ? "glibc.malloc.hugetlb=1" : current + ":glibc.malloc.hugetlb=1";
}

}  // namespace memory
