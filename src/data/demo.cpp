#include "data/demo.h"

#include <cstring>
#include <fstream>

#include "data/filestuff.h"
#include "operators/roster.h"
#include "resources/mshman.h"
#include "resources/texLoad.h"
#include "resources/texMan.h"
#include "script/scripter.h"

namespace demo {

std::string DemoTitle = "Unknown";
std::string MusicName;
scheduler::TDemoData DemoData;

namespace {

using dllShared::IndexedKey;

// ---- the title scan ----

// Reads the file front to back without keeping anything; every read is
// checked against the file's size.
struct TitleReader {
  std::ifstream in;
  std::string name;
  int64_t size = 0;
  int64_t pos = 0;

  [[noreturn]] void Fail(const char* what, int64_t at) {
    throw filestuff::ReadError(name + ": " + what + " (offset " + std::to_string(at) + ")");
  }
  void Take(void* dest, int64_t n, const char* what) {
    if (n > size - pos) Fail(what, pos);
    if (n > 0 && !in.read(static_cast<char*>(dest), n)) Fail(what, pos);
    pos += n;
  }
  void Seek(int64_t at, const char* what) {
    if (at < 0 || at > size) Fail(what, at);
    in.clear();
    in.seekg(at);
    if (!in) Fail(what, at);
    pos = at;
  }
  std::string ShortString(const char* what) {
    unsigned char n = 0;
    Take(&n, 1, what);
    std::string s(n, '\0');
    Take(s.data(), n, what);
    return s;
  }
};

// ---- loading ----

// Bounds for counts read from the file, so a lying count is reported
// before anything is allocated for it. Elements that are arrays of fixed
// records need their bytes; textures, meshes and groups each need keys of
// their own, so together they cannot outnumber the directory's entries.
struct Budget {
  int64_t bytes = 0;
  int64_t entries = 0;
};
Budget budget;

int32_t TakeElements(std::string_view key, int32_t count) {
  if (count < 0) filestuff::Damaged(key, "negative count " + std::to_string(count));
  if (count > budget.entries)
    filestuff::Damaged(key, "count " + std::to_string(count) + " is more than the file's " +
                                std::to_string(filestuff::Directory().size()) + " directory entries can describe");
  budget.entries -= count;
  return count;
}

void TakeBytes(std::string_view key, int32_t count, int64_t elementSize) {
  if (count < 0) filestuff::Damaged(key, "negative count " + std::to_string(count));
  const int64_t need = count * elementSize;
  if (need > budget.bytes)
    filestuff::Damaged(key, "count " + std::to_string(count) + " of " + std::to_string(elementSize) +
                                "-byte elements is more than the rest of the file can hold");
  budget.bytes -= need;
}

// An array stored as one block: element 0 by name, the others by unnamed
// reads straight after it. The writer always stores the key when the count
// is above 0; a file without it keeps the array zero-filled rather than
// reading whatever follows an unrelated value.
template <class T>
void ReadArray(const std::string& key, const std::string& countKey, int32_t count, std::vector<T>& out) {
  TakeBytes(countKey, count, sizeof(T));
  out.assign(static_cast<size_t>(count), T{});
  if (count == 0 || !filestuff::FindKey(key)) return;
  const int64_t left = filestuff::FileSize() - filestuff::FilePosition();
  if (static_cast<int64_t>(count) * static_cast<int64_t>(sizeof(T)) > left)
    filestuff::Damaged(key, std::to_string(count) + " elements of " + std::to_string(sizeof(T)) +
                                " bytes run past the end of the file");
  filestuff::ReadBlock(key, &out[0], sizeof(T));
  for (size_t i = 1; i < out.size(); ++i) filestuff::ReadRaw(&out[i], sizeof(T));
}

void ReadTextures(bool makeTextures) {
  const int32_t count = TakeElements("TexCount", filestuff::ReadInt("TexCount", 0));
  texMan::TextureTable.assign(static_cast<size_t>(count), texMan::TTextureEntry{});
  // The image files are read on worker threads while the entries after
  // them are read here; they are made in table order by Finish, also when a
  // damaged demo file stops the reading (as one after another would have).
  texLoad::Begin();
  try {
    for (int32_t i = 0; i < count; ++i) {
      texMan::TTextureEntry& e = texMan::TextureTable[static_cast<size_t>(i)];
      filestuff::ReadString(IndexedKey("Tex", i, "Name"), "Unknown?", e.Name);
      filestuff::ReadString(IndexedKey("Tex", i, "Data"), "", e.FileName);
      filestuff::ReadBlock(IndexedKey("Tex", i, "Typ"), &e.Typ, 1);
      if (makeTextures) texLoad::Add(i, e.FileName);
    }
  } catch (...) {
    texLoad::Finish();
    throw;
  }
  texLoad::Finish();
}

void ReadMeshes() {
  const int32_t count = TakeElements("MshCount", filestuff::ReadInt("MshCount", 0));
  mshman::MeshStore.assign(static_cast<size_t>(count), mshman::TMesh{});
  for (int32_t i = 0; i < count; ++i) {
    mshman::TMesh& m = mshman::MeshStore[static_cast<size_t>(i)];
    const std::string p = IndexedKey("msh", i);
    filestuff::ReadString(p + "Data", "", m.FileName);
    m.VertCount = filestuff::ReadInt(p + "VertCount", 0);
    m.Advanced = filestuff::ReadInt(p + "Advanced", 0) == 1;
    m.NormCount = filestuff::ReadInt(p + "NormCount", 0);
    m.TexCount = filestuff::ReadInt(p + "TexCount", 0);
    m.GroupCount = filestuff::ReadInt(p + "GroupCount", 0);
    ReadArray(p + "Vert", p + "VertCount", m.VertCount, m.Vertices);
    ReadArray(p + "Norm", p + "NormCount", m.NormCount, m.Normals);
    ReadArray(p + "Tex", p + "TexCount", m.TexCount, m.TexCoords);
    TakeElements(p + "GroupCount", m.GroupCount);
    m.Groups.assign(static_cast<size_t>(m.GroupCount), mshman::TMeshGroup{});
    for (int32_t j = 0; j < m.GroupCount; ++j) {
      mshman::TMeshGroup& g = m.Groups[static_cast<size_t>(j)];
      const std::string q = IndexedKey(p + "Group", j);
      g.FaceCount = filestuff::ReadInt(q + "FaceCount", 0);
      ReadArray(q + "Faces", q + "FaceCount", g.FaceCount, g.Faces);
      g.Mode = filestuff::ReadInt(q + "Mode", 0);
      g.Tex1 = filestuff::ReadInt(q + "Tex1", 0);
      g.Tex2 = filestuff::ReadInt(q + "Tex2", 0);
      g.TexMode = filestuff::ReadInt(q + "TexMode", 0);
      filestuff::ReadBlock(q + "States", g.States, sizeof g.States);
      filestuff::ReadBlock(q + "Alpha", &g.Alpha, sizeof g.Alpha);
    }
  }
}

void ReadEvents() {
  const int32_t count = filestuff::ReadInt("EventCount", 0);
  TakeBytes("EventCount", count, sizeof(scheduler::TDemoEvent));
  DemoData.Events.assign(static_cast<size_t>(count), scheduler::TDemoEvent{});
  DemoData.EventCount = count;
  for (int32_t i = 0; i < count; ++i)
    filestuff::ReadBlock(IndexedKey("Ev", i), &DemoData.Events[static_cast<size_t>(i)], sizeof(scheduler::TDemoEvent));
}

// Everything a load fills, emptied again. Only textures that were made
// are deleted, so this needs no GL context after a load without textures.
void ClearLoaded() {
  for (int32_t i = 0; i < texMan::TexCount(); ++i)
    if (texMan::TextureTable[static_cast<size_t>(i)].GLName != 0) texMan::DeleteTexture(i);
  texMan::TextureTable.clear();
  mshman::ClearMeshes();
  DemoData = scheduler::TDemoData{};
  MusicName.clear();
  roster::ClearAllParamSets();
  scripter::IntVars.clear();
  scripter::FloatVars.clear();
}

bool Load(const std::string& fileName, bool loadScriptSources, bool makeTextures,
          const std::vector<unsigned char>* inMemory = nullptr) {
  scheduler::UseDemoData(&DemoData);
  ClearLoaded();
  try {
    const filestuff::OpenResult opened =
        inMemory ? filestuff::OpenDemoBytes(fileName, *inMemory) : filestuff::OpenDemoFile(fileName);
    if (opened != filestuff::OpenResult::Opened) return false;
    budget.bytes = filestuff::FileSize();
    budget.entries = static_cast<int64_t>(filestuff::Directory().size());
    filestuff::ReadString("Music", "", MusicName);
    ReadTextures(makeTextures);
    ReadMeshes();
    ReadEvents();
    scheduler::UseDemoData(&DemoData);  // indexes the events just read
    try {
      roster::LoadAllParamSets(loadScriptSources);
    } catch (const filestuff::ReadError&) {
      throw;
    } catch (const dllShared::DataError& e) {
      // The operators' own checks do not know which file they read.
      throw dllShared::DataError(fileName + ": " + e.what());
    }
    filestuff::CloseDemoFile();
    return true;
  } catch (...) {
    filestuff::CloseDemoFile();
    ClearLoaded();
    throw;
  }
}

}  // namespace

void Startup() {
  DemoTitle = "Unknown";
  MusicName.clear();
  DemoData = scheduler::TDemoData{};
}

void Shutdown() {
  MusicName.clear();
  DemoData = scheduler::TDemoData{};
}

void ReadDemoTitle(const std::string& fileName) {
  TitleReader r;
  r.name = fileName;
  r.in.open(fileName, std::ios::binary | std::ios::ate);
  if (!r.in) return;
  r.size = static_cast<int64_t>(r.in.tellg());
  r.in.seekg(0);
  if (r.size < static_cast<int64_t>(sizeof filestuff::Signature)) return;
  char sig[sizeof filestuff::Signature];
  r.Take(sig, sizeof sig, "signature");
  if (std::memcmp(sig, filestuff::Signature, sizeof sig) != 0) return;
  int32_t count = 0;
  r.Take(&count, 4, "directory count runs past the end of the file");
  if (count < 0) r.Fail("negative directory count", r.pos - 4);
  for (int32_t i = 0; i < count; ++i) {
    const std::string name = r.ShortString("directory entry runs past the end of the file");
    int32_t offset = 0;
    r.Take(&offset, 4, "directory entry runs past the end of the file");
    if (name == "DemoTitle") {
      r.Seek(offset, "value offset of \"DemoTitle\" lies beyond the end of the file");
      DemoTitle = r.ShortString("string of \"DemoTitle\" runs past the end of the file");
      return;
    }
  }
}

bool LoadDemo(const std::string& fileName, bool loadScriptSources) {
  return Load(fileName, loadScriptSources, true);
}

bool LoadDemoWithoutTextures(const std::string& fileName, bool loadScriptSources) {
  return Load(fileName, loadScriptSources, false);
}

bool LoadDemoBytes(const std::string& name, const std::vector<unsigned char>& bytes, bool loadScriptSources) {
  return Load(name, loadScriptSources, true, &bytes);
}

}  // namespace demo
