#include "tools/demoview.h"

#include <cstdio>
#include <unordered_set>

#include "app/modules.h"
#include "data/demo.h"
#include "engine/registry.h"
#include "operators/roster.h"
#include "resources/mshman.h"
#include "resources/texMan.h"
#include "operators/opScripter.h"
#include "description/records.h"

namespace demoview {

namespace {

using dllShared::IndexedKey;

// Every key the loader and the operators look up for the loaded counts,
// upper-cased as the lookup compares them.
std::unordered_set<std::string> KeysRead() {
  std::vector<std::string> keys = {"Music", "TexCount", "MshCount", "EventCount"};
  for (int32_t i = 0; i < texMan::TexCount(); ++i)
    for (const char* s : {"Name", "Data", "Typ"}) keys.push_back(IndexedKey("Tex", i, s));
  for (int32_t i = 0; i < mshman::MeshCount(); ++i) {
    const mshman::TMesh& m = mshman::MeshStore[static_cast<size_t>(i)];
    const std::string p = IndexedKey("msh", i);
    for (const char* s : {"Data", "VertCount", "Advanced", "NormCount", "TexCount", "GroupCount"}) keys.push_back(p + s);
    if (m.VertCount > 0) keys.push_back(p + "Vert");
    if (m.NormCount > 0) keys.push_back(p + "Norm");
    if (m.TexCount > 0) keys.push_back(p + "Tex");
    for (int32_t j = 0; j < m.GroupCount; ++j) {
      const std::string q = IndexedKey(p + "Group", j);
      for (const char* s : {"FaceCount", "Mode", "Tex1", "Tex2", "TexMode", "States", "Alpha"}) keys.push_back(q + s);
      if (m.Groups[static_cast<size_t>(j)].FaceCount > 0) keys.push_back(q + "Faces");
    }
  }
  for (int32_t i = 0; i < demo::DemoData.EventCount; ++i) keys.push_back(IndexedKey("Ev", i));
  for (int32_t t = 0; t < registry::OperatorCount; ++t) {
    const registry::TOperatorRow& row = roster::Rows[t];
    keys.push_back(row.CountKey);
    if (row.SetSize == 0) continue;
    for (int32_t i = 0; i < records::LoadedSetCount(t); ++i) keys.push_back(IndexedKey(row.SetPrefix, i));
  }
  keys.push_back("ScrICount");
  keys.push_back("ScrFCount");
  const auto& scripts = opScripter::Scripts();
  for (size_t i = 0; i < scripts.size(); ++i) {
    const auto n = static_cast<int64_t>(i);
    keys.push_back(IndexedKey("ScrCLen", n));
    if (scripts[i].CodeLen > 0) keys.push_back(IndexedKey("ScrC", n));
    keys.push_back(IndexedKey("Scr", n, "SourceLen"));
    for (int32_t j = 0; j < scripts[i].SourceLineCount; ++j)
      keys.push_back(IndexedKey("Scr" + std::to_string(n) + "Source", j));
  }
  std::unordered_set<std::string> upper;
  for (const std::string& k : keys) upper.insert(filestuff::UpperKey(k));
  return upper;
}

}  // namespace

bool Load(const char* command, const std::string& path) {
  modules::StartModules();
  try {
    switch (filestuff::OpenDemoFile(path)) {
      case filestuff::OpenResult::Opened:
        filestuff::CloseDemoFile();
        break;
      case filestuff::OpenResult::CannotOpen:
        std::fprintf(stderr, "qvl %s: %s: cannot open the file\n", command, path.c_str());
        return false;
      case filestuff::OpenResult::WrongSignature:
        std::fprintf(stderr, "qvl %s: %s: not a demo file (wrong signature)\n", command, path.c_str());
        return false;
    }
    demo::ReadDemoTitle(path);
    if (!demo::LoadDemoWithoutTextures(path, true)) {
      std::fprintf(stderr, "qvl %s: %s: cannot open the file\n", command, path.c_str());
      return false;
    }
  } catch (const dllShared::DataError& e) {
    std::fprintf(stderr, "qvl %s: %s\n", command, e.what());
    return false;
  }
  return true;
}

std::vector<filestuff::TDirEntry> UnreadEntries() {
  const std::unordered_set<std::string> read = KeysRead();
  std::unordered_set<std::string> seen;
  bool titleSeen = false;
  std::vector<filestuff::TDirEntry> unread;
  for (const filestuff::TDirEntry& e : filestuff::Directory()) {
    if (e.Name == "DemoTitle" && !titleSeen) {
      titleSeen = true;  // the title scan compares exactly and takes the first
      continue;
    }
    const std::string up = filestuff::UpperKey(e.Name);
    if (read.count(up) && seen.insert(up).second) continue;
    unread.push_back(e);
  }
  return unread;
}

}  // namespace demoview
