#include "engine/dllShared.h"

#include <cmath>

namespace dllShared {

fHost Host{};

int32_t PackColor(float r, float g, float b) {
  auto byte = [](float c) { return static_cast<int32_t>(std::lrint(static_cast<double>(c) * 255.0)); };
  return byte(r) + byte(g) * 256 + byte(b) * 65536;
}

void UnpackColor(int32_t packed, float& r, float& g, float& b) {
  r = static_cast<float>((packed & 0xFF) / 255.0);
  g = static_cast<float>(((packed >> 8) & 0xFF) / 255.0);
  b = static_cast<float>(((packed >> 16) & 0xFF) / 255.0);
}

int32_t ToSlider(float value, float scale) {
  return static_cast<int32_t>(std::lrint(static_cast<double>(value) * scale));
}

std::string IndexedKey(std::string_view prefix, int64_t index, std::string_view suffix) {
  std::string key(prefix);
  key += std::to_string(index);
  key += suffix;
  return key;
}

}  // namespace dllShared
