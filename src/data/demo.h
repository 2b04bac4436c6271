// demo: the demo file's content — title, music name, textures, meshes,
// timeline events and, through the registry, every operator's parameter
// sets.
//
// A damaged file (a read past its end, a count that cannot fit, an offset
// outside it) throws filestuff::ReadError or dllShared::DataError with a
// message naming the file; nothing of it stays loaded.
#pragma once

#include <string>
#include <vector>

#include "engine/scheduler.h"

namespace demo {

extern std::string DemoTitle;  // "Unknown" until ReadDemoTitle finds one
extern std::string MusicName;  // the "Music" value; informational only
extern scheduler::TDemoData DemoData;

void Startup();
void Shutdown();

// Looks for an entry named exactly "DemoTitle" (letter case counts) and
// takes the first one's string as the title. A missing file, a foreign
// signature or a file without such an entry leave the title unchanged.
void ReadDemoTitle(const std::string& fileName);

// Loads everything but the title. False, with nothing loaded, when the file
// cannot be opened or is not a demo file. Needs the GL context: textures
// are made while loading.
bool LoadDemo(const std::string& fileName, bool loadScriptSources);

// As LoadDemo, but the texture table gets its entries as the file stores
// them and no texture is made: for tools and tests without a GL context.
bool LoadDemoWithoutTextures(const std::string& fileName, bool loadScriptSources);

// As LoadDemo for a demo file held in memory; `name` stands for it in messages.
bool LoadDemoBytes(const std::string& name, const std::vector<unsigned char>& bytes, bool loadScriptSources);

}  // namespace demo
