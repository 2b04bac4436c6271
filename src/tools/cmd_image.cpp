// qvl image: an image file as the player's texture table sees it, written
// back as a PNG of mip level 0.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <GL/gl.h>

#include "platform/offscreen.h"
#include "platform/pngWrite.h"
#include "resources/texMan.h"
#include "tools/commands.h"

namespace tools {

int CmdImage(int argc, char** argv) {
  if (WantsHelp(argc, argv)) {
    std::printf(
        "usage: qvl image FILE -o OUT.png\n\n"
        "Loads FILE exactly as the player's texture table does (the reader is chosen by\n"
        "the extension .bmp, .jpg or .tga; directories before the last backslash are\n"
        "dropped; filter mode 0), reads back mip level 0 of the texture and writes it\n"
        "as an RGBA PNG, top row first. Prints the size read from the file as WxH.\n"
        "When no texture is made, the reader's message goes to stderr, no PNG is\n"
        "written and the exit status is 1.\n");
    return ExitOk;
  }
  std::string file, out;
  for (int i = 1; i < argc; ++i) {
    if (!std::strcmp(argv[i], "-o") && i + 1 < argc)
      out = argv[++i];
    else if (file.empty() && argv[i][0] != '\0' && std::strcmp(argv[i], "-o") != 0)
      file = argv[i];
    else {
      std::fprintf(stderr, "qvl image: unexpected argument '%s' (see qvl image --help)\n", argv[i]);
      return ExitBadInput;
    }
  }
  if (file.empty() || out.empty()) {
    std::fprintf(stderr, "qvl image: expected FILE -o OUT.png (see qvl image --help)\n");
    return ExitBadInput;
  }

  std::string error;
  if (!offscreen::Open(64, 64, &error)) {
    std::fprintf(stderr, "qvl image: no OpenGL context: %s\n", error.c_str());
    return ExitBadInput;
  }
  // One entry, filter mode 0; the reader's messages go to stderr as
  // "<caption>: <text>" through the message layer's default writer.
  texMan::TextureTable.assign(1, texMan::TTextureEntry{});
  texMan::SetTextureFromFile(0, file);
  const texMan::TTextureEntry entry = texMan::TextureTable[0];
  if (entry.GLName == 0) {
    offscreen::Close();
    return ExitNotFound;
  }

  // GLU may have rescaled the image to powers of two; the PNG shows level 0
  // as it is stored.
  GLint w = 0, h = 0;
  glBindTexture(GL_TEXTURE_2D, entry.GLName);
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &w);
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &h);
  if (w <= 0 || h <= 0) {
    std::fprintf(stderr, "qvl image: the texture has no level 0\n");
    offscreen::Close();
    return ExitBadInput;
  }
  const size_t row = static_cast<size_t>(w) * 4;
  std::vector<uint8_t> bottomUp(row * static_cast<size_t>(h));
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, bottomUp.data());
  texMan::DeleteTexture(0);
  offscreen::Close();

  // Texture row 0 is the image's bottom row; a PNG starts with the top.
  if (!pngWrite::Write(out, {bottomUp.data(), w, h, 4, true}, &error)) {
    std::fprintf(stderr, "qvl image: %s\n", error.c_str());
    return ExitBadInput;
  }
  std::printf("%dx%d\n", entry.Width, entry.Height);
  return ExitOk;
}

}  // namespace tools
