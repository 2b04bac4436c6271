#include "resources/texMan.h"

#include <GL/gl.h>

#include <vector>

#include "engine/settings.h"
#include "resources/Texturez.h"

namespace texMan {

std::vector<TTextureEntry> TextureTable;

int32_t TexCount() { return static_cast<int32_t>(TextureTable.size()); }

void Startup() {}
void Shutdown() { TextureTable.clear(); }

namespace {

// Makes entry `index` from `fileName`: a blank texture for an empty name,
// otherwise `image` when given, else the file read now.
void MakeEntry(int32_t index, const std::string& fileName, const Texturez::TImage* image, bool readNow) {
  if (index < 0 || index >= TexCount()) return;
  TTextureEntry& e = TextureTable[static_cast<size_t>(index)];
  // A second call for the same entry replaces its texture instead of
  // leaking the first object.
  if (e.GLName != 0) {
    GLuint old = e.GLName;
    glDeleteTextures(1, &old);
  }
  e.GLName = 0;
  e.Width = 0;
  e.Height = 0;
  if (fileName.empty()) {
    e.FileName.clear();
    e.Width = settings::BlankTextureSize;
    e.Height = settings::BlankTextureSize;
    e.GLName = MakeBlankTexture(settings::BlankTextureSize);
    return;
  }
  e.FileName = BareName(fileName);
  // The readers look the entry up again by index; pass a copy, not the
  // entry's own string.
  const std::string bare = e.FileName;
  if (readNow)
    Texturez::LoadTextureFile(bare, index);
  else if (image)
    Texturez::MakeTexture(index, *image);
}

}  // namespace

std::string BareName(const std::string& fileName) {
  const size_t slash = fileName.rfind('\\');
  return slash == std::string::npos ? fileName : fileName.substr(slash + 1);
}

void SetTextureFromFile(int32_t index, const std::string& fileName) { MakeEntry(index, fileName, nullptr, true); }

void SetTextureFromImage(int32_t index, const std::string& fileName, const Texturez::TImage* image) {
  MakeEntry(index, fileName, image, false);
}

uint32_t MakeBlankTexture(int32_t size) {
  if (size <= 0 || size > Texturez::MaxSide) return 0;
  // Cleared to black: the contents mean nothing until something is copied in.
  std::vector<uint8_t> buffer(static_cast<size_t>(size) * static_cast<size_t>(size) * 3, 0);
  GLuint name = 0;
  glGenTextures(1, &name);
  glBindTexture(GL_TEXTURE_2D, name);
  GLint alignment = 4;
  glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  glTexImage2D(GL_TEXTURE_2D, 0, 3, size, size, 0, GL_RGB, GL_UNSIGNED_BYTE, buffer.data());
  glPixelStorei(GL_UNPACK_ALIGNMENT, alignment);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  return name;
}

void DeleteTexture(int32_t index) {
  if (index < 0 || index >= TexCount()) return;
  TTextureEntry& e = TextureTable[static_cast<size_t>(index)];
  if (e.GLName != 0) {
    GLuint name = e.GLName;
    glDeleteTextures(1, &name);
  }
  e.GLName = 0;
  e.Name.clear();
  e.FileName.clear();
}

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
