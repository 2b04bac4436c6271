// texMan: the texture table.
//
// One entry per texture the demo names, each with its OpenGL texture
// object. Operators and meshes refer to textures by number: texture n is
// entry n - 1, 0 is none.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/dllShared.h"

namespace Texturez {
struct TImage;
}

namespace texMan {

struct TTextureEntry {
  std::string Name;      // display name, not used for loading
  std::string FileName;  // the bare image file name; empty for a blank texture
  int32_t Width = 0;     // as read from the image; the blank size for blanks
  int32_t Height = 0;
  uint32_t GLName = 0;   // 0: no texture
  uint8_t Typ = 0;       // filter mode 0..3
};

extern std::vector<TTextureEntry> TextureTable;
int32_t TexCount();

void Startup();
void Shutdown();

// Makes entry `index`'s texture from `fileName`: a blank texture when the
// name is empty, otherwise the image file (directories before the last
// backslash are stripped). Failures are shown and leave the entry empty.
void SetTextureFromFile(int32_t index, const std::string& fileName);
// As SetTextureFromFile with the image file already read: `image` is what
// the reader made of it, null when the reader failed (and reported it) or
// the name has no reader.
void SetTextureFromImage(int32_t index, const std::string& fileName, const Texturez::TImage* image);
// The name an image file is opened by: only the backslash separates
// directories, and everything up to the last one is dropped.
std::string BareName(const std::string& fileName);
// A size x size RGB texture object with undefined contents.
uint32_t MakeBlankTexture(int32_t size);
// Releases entry `index`'s texture object and clears its names.
void DeleteTexture(int32_t index);
// fHost slot 3: width, height and GL name of entry `index`; zeros outside.
void GetTextureInfo(int32_t index, dllShared::TTextureInfo* info);

}  // namespace texMan
