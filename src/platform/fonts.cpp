#include "platform/fonts.h"

#include <cctype>

namespace fonts {

std::string TrueTypeFileFor(const char* family, TWeight weight) {
  std::string path = FileFor(family, weight);
  auto endsWith = [&](const char* ext) {
    const std::string e(ext);
    if (path.size() < e.size()) return false;
    for (size_t i = 0; i < e.size(); ++i)
      if (std::tolower(static_cast<unsigned char>(path[path.size() - e.size() + i])) != e[i]) return false;
    return true;
  };
  if (!endsWith(".ttf") && !endsWith(".otf")) path.clear();
  return path;
}

}  // namespace fonts
