// qvl dump: the whole demo as JSON, in the form qvl build reads back.
#include <cstdio>
#include <iostream>

#include "data/demo.h"
#include "engine/registry.h"
#include "operators/roster.h"
#include "resources/mshman.h"
#include "resources/texMan.h"
#include "operators/opScripter.h"
#include "script/scripter.h"
#include "tools/commands.h"
#include "tools/demoview.h"
#include "description/records.h"

namespace tools {

namespace {

using records::json;

json Vector(const mshman::TMeshVector& v) {
  return json::array({records::FloatToJson(v.X), records::FloatToJson(v.Y), records::FloatToJson(v.Z)});
}

json Meshes() {
  json out = json::array();
  for (const mshman::TMesh& m : mshman::MeshStore) {
    json mesh = {{"FileName", records::BytesToUtf8(m.FileName)},
                 {"VertCount", m.VertCount},
                 {"NormCount", m.NormCount},
                 {"TexCount", m.TexCount},
                 {"GroupCount", m.GroupCount},
                 {"Advanced", m.Advanced}};
    json& verts = mesh["Vertices"] = json::array();
    for (const auto& v : m.Vertices) verts.push_back(Vector(v));
    json& norms = mesh["Normals"] = json::array();
    for (const auto& v : m.Normals) norms.push_back(Vector(v));
    json& tex = mesh["TexCoords"] = json::array();
    for (const auto& t : m.TexCoords) tex.push_back(records::Hex(t.Raw, sizeof t.Raw));
    json& groups = mesh["Groups"] = json::array();
    for (const mshman::TMeshGroup& g : m.Groups) {
      json faces = json::array();
      for (const auto& f : g.Faces) faces.push_back(json::array({f.VertexIndex, f.NormalIndex, f.Aux}));
      groups.push_back({{"Mode", g.Mode},
                        {"FaceCount", g.FaceCount},
                        {"Faces", std::move(faces)},
                        {"Tex1", g.Tex1},
                        {"Tex2", g.Tex2},
                        {"TexMode", g.TexMode},
                        {"States", records::Hex(g.States, sizeof g.States)},
                        {"Alpha", records::FloatToJson(g.Alpha)}});
    }
    out.push_back(std::move(mesh));
  }
  return out;
}

json Events() {
  json out = json::array();
  for (const scheduler::TDemoEvent& e : demo::DemoData.Events) {
    json ev = records::RecordToJson(records::EventRecord(), reinterpret_cast<const unsigned char*>(&e));
    if (e.OpType >= 0 && e.OpType < registry::OperatorCount) ev["Op"] = roster::Rows[e.OpType].Name;
    out.push_back(std::move(ev));
  }
  return out;
}

json Operators() {
  json out = json::object();
  for (int32_t t = 0; t < registry::OperatorCount; ++t) {
    const records::TRecord* rec = records::OperatorRecord(t);
    if (!rec) continue;
    json sets = json::array();
    for (int32_t i = 0; i < records::LoadedSetCount(t); ++i)
      sets.push_back(records::RecordToJson(*rec, records::LoadedSet(t, i)));
    out[rec->Name] = std::move(sets);
  }
  return out;
}

json Scripts() {
  json programs = json::array();
  for (const opScripter::TScript& s : opScripter::Scripts()) {
    json p = {{"Code", records::Hex(s.Code.data(), s.Code.size())}};
    if (!s.SourceLines.empty()) {
      json lines = json::array();
      for (const std::string& l : s.SourceLines) lines.push_back(records::BytesToUtf8(l));
      p["Source"] = std::move(lines);
    }
    programs.push_back(std::move(p));
  }
  return {{"ScrICount", scripter::IntVars.size()},
          {"ScrFCount", scripter::FloatVars.size()},
          {"programs", std::move(programs)}};
}

}  // namespace

int CmdDump(int argc, char** argv) {
  if (WantsHelp(argc, argv)) {
    std::printf(
        "usage: qvl dump FILE\n\n"
        "Prints the whole demo as JSON: title, music, textures, meshes, events,\n"
        "every operator type's parameter sets keyed by its display name, the\n"
        "scripts, and the directory entries the player never reads. Floats read\n"
        "back to the same 32-bit value; unused bytes show as hex. 'qvl build'\n"
        "turns the output back into a demo file.\n");
    return ExitOk;
  }
  if (argc != 2) {
    std::fprintf(stderr, "qvl dump: expected one FILE (see qvl dump --help)\n");
    return ExitBadInput;
  }
  if (!demoview::Load("dump", argv[1])) return ExitBadInput;

  json out = json::object();
  out["title"] = records::BytesToUtf8(demo::DemoTitle);
  out["music"] = records::BytesToUtf8(demo::MusicName);
  json& textures = out["textures"] = json::array();
  for (const texMan::TTextureEntry& e : texMan::TextureTable)
    textures.push_back(
        {{"Name", records::BytesToUtf8(e.Name)}, {"FileName", records::BytesToUtf8(e.FileName)}, {"Typ", e.Typ}});
  out["meshes"] = Meshes();
  out["events"] = Events();
  out["operators"] = Operators();
  out["scripts"] = Scripts();
  json& unread = out["unread"] = json::array();
  for (const filestuff::TDirEntry& e : demoview::UnreadEntries())
    unread.push_back({{"Name", records::BytesToUtf8(e.Name)}, {"Offset", e.Offset}});
  std::cout << out.dump(2) << "\n";
  return std::cout ? ExitOk : ExitBadInput;
}

}  // namespace tools
