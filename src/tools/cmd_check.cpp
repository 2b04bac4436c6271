// qvl check: what in a demo file will not play as its author meant.
//
// One line per finding, "error: ..." or "warning: ...". Image files are
// checked by existence and extension only, so no GL context is needed.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "data/demo.h"
#include "engine/paths.h"
#include "engine/registry.h"
#include "operators/roster.h"
#include "resources/mshman.h"
#include "resources/texMan.h"
#include "operators/opScripter.h"
#include "script/scriptCheck.h"
#include "script/scripter.h"
#include "tools/commands.h"
#include "tools/demoview.h"
#include "description/records.h"

namespace tools {

namespace {

namespace fs = std::filesystem;

int errors = 0;

void Report(bool error, const std::string& text) {
  if (error) ++errors;
  std::printf("%s: %s\n", error ? "error" : "warning", text.c_str());
}

std::string EventName(size_t i) { return "event " + std::to_string(i); }

int32_t SetCount(int32_t type) {
  if (type == 2) return static_cast<int32_t>(opScripter::Scripts().size());
  return records::LoadedSetCount(type);
}

void CheckEvents() {
  const auto& events = demo::DemoData.Events;
  for (size_t i = 0; i < events.size(); ++i) {
    const scheduler::TDemoEvent& e = events[i];
    if (e.Track >= scheduler::TrackCount)
      Report(true, EventName(i) + " lies on track " + std::to_string(e.Track) + ", above 31: it never plays");
    if (e.OpType < 0 || e.OpType >= registry::OperatorCount) {
      Report(true, EventName(i) + " names operator type " + std::to_string(e.OpType) + ", outside 0..14: it plays nothing");
      continue;
    }
    const char* op = roster::Rows[e.OpType].Name;
    const int32_t sets = SetCount(e.OpType);
    if (e.ParamSet < 0 || e.ParamSet >= sets)
      Report(true, EventName(i) + " (" + op + ") names parameter set " + std::to_string(e.ParamSet) + " of " +
                       std::to_string(sets) + ": it plays nothing");
    if (e.Length < 0)
      Report(true, EventName(i) + " (" + op + ") has a negative length: it never plays");
    else if (e.OpType == 10 && e.Length == 0)
      Report(true, EventName(i) + " (End Demo) has length 0: no frame is sure to reach it, so the demo may never end");
  }
}

// Events on one track that overlap: the track plays the one ending first
// and only then looks for the next, so the other is cut or skipped.
void CheckOverlaps() {
  const auto& events = demo::DemoData.Events;
  for (int track = 0; track < scheduler::TrackCount; ++track) {
    std::vector<size_t> on;
    for (size_t i = 0; i < events.size(); ++i)
      if (events[i].Track == track && events[i].Length >= 0) on.push_back(i);
    auto endOf = [&](size_t i) { return static_cast<int64_t>(events[i].Start) + events[i].Length; };
    std::stable_sort(on.begin(), on.end(), [&](size_t a, size_t b) { return events[a].Start < events[b].Start; });
    size_t reach = 0;  // the event seen so far that ends last
    for (size_t k = 0; k < on.size(); ++k) {
      if (k > 0 && events[on[k]].Start <= endOf(on[reach]))
        Report(false, EventName(on[reach]) + " and " + EventName(on[k]) + " overlap on track " + std::to_string(track) +
                          ": the one that ends first plays first");
      if (k == 0 || endOf(on[k]) > endOf(on[reach])) reach = k;
    }
  }
}

void CheckReferences() {
  const int32_t textures = texMan::TexCount();
  const int32_t meshes = mshman::MeshCount();
  for (int32_t t = 0; t < registry::OperatorCount; ++t) {
    const records::TRecord* rec = records::OperatorRecord(t);
    if (!rec) continue;
    for (int32_t i = 0; i < records::LoadedSetCount(t); ++i)
      for (const records::TField& f : rec->Fields) {
        if (f.Ref == records::Refers::Nothing) continue;
        const int32_t v = records::FieldInt(f, records::LoadedSet(t, i));
        const bool tex = f.Ref == records::Refers::Texture;
        const int32_t limit = tex ? textures : meshes;
        if (v < 0 || v > limit)
          Report(true, std::string(rec->Name) + " set " + std::to_string(i) + ": " + f.Name + " " + std::to_string(v) +
                           " is beyond the " + std::to_string(limit) + (tex ? " textures" : " meshes") + " of the demo");
      }
  }
  for (int32_t m = 0; m < meshes; ++m) {
    const mshman::TMesh& mesh = mshman::MeshStore[static_cast<size_t>(m)];
    for (size_t g = 0; g < mesh.Groups.size(); ++g) {
      const mshman::TMeshGroup& group = mesh.Groups[g];
      const std::string where = "mesh " + std::to_string(m) + " group " + std::to_string(g);
      if (group.Tex1 < 0 || group.Tex1 > textures)
        Report(true, where + ": Tex1 " + std::to_string(group.Tex1) + " is beyond the " + std::to_string(textures) +
                         " textures of the demo");
      size_t bad = 0, first = 0;
      for (size_t k = 0; k < group.Faces.size(); ++k) {
        const mshman::TMeshFace& f = group.Faces[k];
        if (f.VertexIndex < 0 || f.VertexIndex >= mesh.VertCount || f.NormalIndex < 0 || f.NormalIndex >= mesh.NormCount) {
          if (bad++ == 0) first = k;
        }
      }
      if (bad)
        Report(true, where + ": " + std::to_string(bad) + " face(s) index outside the " + std::to_string(mesh.VertCount) +
                         " vertices or " + std::to_string(mesh.NormCount) + " normals, the first is face " +
                         std::to_string(first));
    }
  }
}

// The player opens images by bare name beside the demo file and picks the
// reader by the last four letters of the name.
void CheckImages(const fs::path& dir) {
  for (int32_t i = 0; i < texMan::TexCount(); ++i) {
    std::string name = texMan::TextureTable[static_cast<size_t>(i)].FileName;
    if (name.empty()) continue;  // a blank texture, made at load
    const size_t slash = name.rfind('\\');
    if (slash != std::string::npos) name.erase(0, slash + 1);
    const std::string where = "texture " + std::to_string(i) + " (\"" + name + "\")";
    const std::string ext = filestuff::UpperKey(name.size() >= 4 ? name.substr(name.size() - 4) : name);
    if (ext != ".BMP" && ext != ".JPG" && ext != ".TGA")
      Report(true, where + ": no image reader takes this extension (.bmp, .jpg, .tga); the texture stays empty");
    std::error_code ec;
    if (!fs::is_regular_file(dir / paths::Of(name), ec)) Report(true, where + ": the image file is missing");
  }
}

void CheckScripts() {
  const auto& scripts = opScripter::Scripts();
  for (size_t i = 0; i < scripts.size(); ++i)
    for (const scriptCheck::TFinding& f :
         scriptCheck::Check(scripts[i].Code, scripter::IntVars.size(), scripter::FloatVars.size()))
      Report(f.Error, "script " + std::to_string(i) + " byte " + std::to_string(f.Offset) + ": " + f.Message);
}

}  // namespace

int CmdCheck(int argc, char** argv) {
  if (WantsHelp(argc, argv)) {
    std::printf(
        "usage: qvl check FILE\n\n"
        "Reports, one line each with its severity, what will not play as meant:\n"
        "events on tracks above 31, unknown operator types, parameter sets beyond\n"
        "their type's count, texture and mesh numbers beyond their tables, image\n"
        "files that are missing or of an unreadable type, mesh faces with indices\n"
        "out of range, End Demo events of length 0, overlapping events on one\n"
        "track, no music.mp3 beside the file, and in scripts: stack errors that end\n"
        "the player, variables beyond their banks, jumps into the middle of an\n"
        "instruction or out of the program, a cut-off last instruction, loops only\n"
        "JEQ can leave, and SHADOW after the start. Exit status 0 when nothing is\n"
        "an error, 1 otherwise, 2 when the file cannot be read.\n");
    return ExitOk;
  }
  if (argc != 2) {
    std::fprintf(stderr, "qvl check: expected one FILE (see qvl check --help)\n");
    return ExitBadInput;
  }
  if (!demoview::Load("check", argv[1])) return ExitBadInput;
  errors = 0;
  const fs::path dir = paths::Of(argv[1]).parent_path();
  CheckEvents();
  CheckOverlaps();
  CheckReferences();
  CheckImages(dir);
  CheckScripts();
  std::error_code ec;
  if (!fs::is_regular_file(dir / "music.mp3", ec))
    Report(false, "no music.mp3 beside the demo file: it plays silent, timed by the frame clock");
  return errors ? ExitNotFound : ExitOk;
}

}  // namespace tools
