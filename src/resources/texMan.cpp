#include "resources/texMan.h"

namespace texMan {

std::vector<TTextureEntry> TextureTable;

int32_t TexCount() { return static_cast<int32_t>(TextureTable.size()); }

void Startup() {}
void Shutdown() { TextureTable.clear(); }

void SetTextureFromFile(int32_t, const std::string&) {}
uint32_t MakeBlankTexture(int32_t) { return 0; }
void DeleteTexture(int32_t) {}

void GetTextureInfo(int32_t index, dllShared::TTextureInfo* info) {
  if (!info) return;
  if (index < 0 || index >= TexCount()) {
    *info = {0, 0, 0};
    return;
  }
  const TTextureEntry& e = TextureTable[static_cast<size_t>(index)];
  *info = {e.Width, e.Height, static_cast<int32_t>(e.GLName)};
}

}  // namespace texMan
