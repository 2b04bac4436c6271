// demoBuild: a demo file from a JSON description (the form qvl dump prints).
// The description is parsed and checked whole into a TDescription (textures,
// meshes, events, parameter sets, scripts), which is then written out in the
// demo file's key order; so a bad description writes nothing.
#include "description/demoBuild.h"

#include <array>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <string>
#include <vector>

#include "data/filestuff.h"
#include "engine/paths.h"
#include "engine/registry.h"
#include "operators/roster.h"
#include "engine/scheduler.h"
#include "resources/mshman.h"
#include "operators/opScripter.h"
#include "script/scriptAsm.h"
#include "description/records.h"

namespace demoBuild {

namespace {

using records::Fail;
using records::json;
using dllShared::IndexedKey;

constexpr int32_t Int32Max = std::numeric_limits<int32_t>::max();

struct TTexture {
  std::string Name, FileName;
  uint8_t Typ = 0;
};

struct TDescription {
  bool HasTitle = false;
  std::string Title;
  std::string Music;
  std::vector<TTexture> Textures;
  std::vector<mshman::TMesh> Meshes;
  std::vector<scheduler::TDemoEvent> Events;
  std::array<std::vector<std::string>, registry::OperatorCount> Sets;  // raw records
  int32_t IntVars = 0;
  int32_t FloatVars = 0;
  std::vector<opScripter::TScript> Scripts;
};

const json& List(const json& object, const char* name, const std::string& path, bool required) {
  static const json empty = json::array();
  if (!required && !object.contains(name)) return empty;
  const json& v = records::Member(object, name, path);
  if (!v.is_array()) Fail(path + "/" + name, std::string("expected a list, found ") + v.type_name());
  return v;
}

int32_t Int(const json& object, const char* name, const std::string& path, int64_t min = 0, int64_t max = Int32Max) {
  return static_cast<int32_t>(records::IntFromJson(records::Member(object, name, path), path + "/" + name, min, max));
}

int32_t OptionalInt(const json& object, const char* name, const std::string& path) {
  if (!object.contains(name)) return 0;
  return Int(object, name, path, std::numeric_limits<int32_t>::min(), Int32Max);
}

// A count beside its list must agree with it; the list is what is written.
void CheckCount(const json& object, const char* name, size_t listSize, int64_t elementSize, const std::string& path) {
  if (static_cast<int64_t>(listSize) * elementSize > Int32Max) Fail(path, "list is too large for a demo file");
  if (object.contains(name) && Int(object, name, path) != static_cast<int64_t>(listSize))
    Fail(path + "/" + name, "does not match the length of its list (" + std::to_string(listSize) + ")");
}

mshman::TMeshVector Vector(const json& v, const std::string& path) {
  if (!v.is_array() || v.size() != 3) Fail(path, "expected [x, y, z]");
  return {records::FloatFromJson(v[0], path + "/0"), records::FloatFromJson(v[1], path + "/1"),
          records::FloatFromJson(v[2], path + "/2")};
}

void ParseTextures(const json& list, const std::string& path, TDescription& d) {
  static constexpr const char* known[] = {"Name", "FileName", "Typ"};
  for (size_t i = 0; i < list.size(); ++i) {
    const std::string at = path + "/" + std::to_string(i);
    records::OnlyKnown(list[i], known, at);
    TTexture t;
    t.Name = records::StringFromJson(records::Member(list[i], "Name", at), at + "/Name");
    t.FileName = records::StringFromJson(records::Member(list[i], "FileName", at), at + "/FileName");
    t.Typ = static_cast<uint8_t>(Int(list[i], "Typ", at, 0, 255));
    d.Textures.push_back(std::move(t));
  }
}

mshman::TMeshGroup ParseGroup(const json& g, const std::string& at) {
  static constexpr const char* known[] = {"Mode", "FaceCount", "Faces", "Tex1", "Tex2", "TexMode", "States", "Alpha"};
  records::OnlyKnown(g, known, at);
  mshman::TMeshGroup group;
  group.Mode = Int(g, "Mode", at, std::numeric_limits<int32_t>::min(), Int32Max);
  const json& faces = List(g, "Faces", at, true);
  CheckCount(g, "FaceCount", faces.size(), sizeof(mshman::TMeshFace), at);
  for (size_t k = 0; k < faces.size(); ++k) {
    const std::string fa = at + "/Faces/" + std::to_string(k);
    const json& f = faces[k];
    if (!f.is_array() || f.size() != 3) Fail(fa, "expected [VertexIndex, NormalIndex, Aux]");
    int32_t v[3];
    for (size_t c = 0; c < 3; ++c)
      v[c] = static_cast<int32_t>(
          records::IntFromJson(f[c], fa + "/" + std::to_string(c), std::numeric_limits<int32_t>::min(), Int32Max));
    group.Faces.push_back({v[0], v[1], v[2]});
  }
  group.FaceCount = static_cast<int32_t>(group.Faces.size());
  group.Tex1 = OptionalInt(g, "Tex1", at);
  group.Tex2 = OptionalInt(g, "Tex2", at);
  group.TexMode = OptionalInt(g, "TexMode", at);
  if (g.contains("States")) records::HexFromJson(g["States"], at + "/States", group.States, sizeof group.States);
  group.Alpha = records::FloatFromJson(records::Member(g, "Alpha", at), at + "/Alpha");
  return group;
}

void ParseMeshes(const json& list, const std::string& path, TDescription& d) {
  static constexpr const char* known[] = {"FileName", "VertCount", "NormCount", "TexCount", "GroupCount",
                                          "Advanced", "Vertices",  "Normals",   "TexCoords", "Groups"};
  for (size_t i = 0; i < list.size(); ++i) {
    const std::string at = path + "/" + std::to_string(i);
    const json& m = list[i];
    records::OnlyKnown(m, known, at);
    mshman::TMesh mesh;
    if (m.contains("FileName")) mesh.FileName = records::StringFromJson(m["FileName"], at + "/FileName");
    if (m.contains("Advanced")) {
      if (!m["Advanced"].is_boolean()) Fail(at + "/Advanced", std::string("expected true or false, found ") + m["Advanced"].type_name());
      mesh.Advanced = m["Advanced"].get<bool>();
    }
    const json& verts = List(m, "Vertices", at, true);
    CheckCount(m, "VertCount", verts.size(), sizeof(mshman::TMeshVector), at);
    for (size_t k = 0; k < verts.size(); ++k) mesh.Vertices.push_back(Vector(verts[k], at + "/Vertices/" + std::to_string(k)));
    const json& norms = List(m, "Normals", at, false);
    CheckCount(m, "NormCount", norms.size(), sizeof(mshman::TMeshVector), at);
    for (size_t k = 0; k < norms.size(); ++k) mesh.Normals.push_back(Vector(norms[k], at + "/Normals/" + std::to_string(k)));
    const json& tex = List(m, "TexCoords", at, false);
    CheckCount(m, "TexCount", tex.size(), sizeof(mshman::TMeshTexCoord), at);
    for (size_t k = 0; k < tex.size(); ++k) {
      mshman::TMeshTexCoord t{};
      records::HexFromJson(tex[k], at + "/TexCoords/" + std::to_string(k), t.Raw, sizeof t.Raw);
      mesh.TexCoords.push_back(t);
    }
    const json& groups = List(m, "Groups", at, true);
    CheckCount(m, "GroupCount", groups.size(), 1, at);
    for (size_t k = 0; k < groups.size(); ++k) mesh.Groups.push_back(ParseGroup(groups[k], at + "/Groups/" + std::to_string(k)));
    mesh.VertCount = static_cast<int32_t>(mesh.Vertices.size());
    mesh.NormCount = static_cast<int32_t>(mesh.Normals.size());
    mesh.TexCount = static_cast<int32_t>(mesh.TexCoords.size());
    mesh.GroupCount = static_cast<int32_t>(mesh.Groups.size());
    d.Meshes.push_back(std::move(mesh));
  }
}

int32_t TypeByName(const std::string& name) {
  for (int32_t t = 0; t < registry::OperatorCount; ++t)
    if (name == roster::Rows[t].Name) return t;
  return -1;
}

void ParseEvents(const json& list, const std::string& path, TDescription& d) {
  static constexpr const char* alsoAllowed[] = {"Op"};
  for (size_t i = 0; i < list.size(); ++i) {
    const std::string at = path + "/" + std::to_string(i);
    json e = list[i];
    // "Op" may stand for OpType; with both, they must agree.
    if (e.is_object() && e.contains("Op")) {
      if (!e["Op"].is_string()) Fail(at + "/Op", "expected an operator's display name");
      const int32_t type = TypeByName(e["Op"].get<std::string>());
      if (type < 0) Fail(at + "/Op", "no operator type is called \"" + e["Op"].get<std::string>() + "\"");
      if (!e.contains("OpType"))
        e["OpType"] = type;
      else if (!e["OpType"].is_number_integer() || e["OpType"].get<int64_t>() != type)
        Fail(at + "/OpType", "does not match \"Op\" (" + std::to_string(type) + ")");
    }
    scheduler::TDemoEvent ev{};
    records::RecordFromJson(records::EventRecord(), e, reinterpret_cast<unsigned char*>(&ev), at, alsoAllowed);
    d.Events.push_back(ev);
  }
}

void ParseOperators(const json& ops, const std::string& path, TDescription& d) {
  if (!ops.is_object()) Fail(path, std::string("expected an object, found ") + ops.type_name());
  for (const auto& [name, sets] : ops.items()) {
    const std::string at = path + "/" + name;
    const int32_t type = TypeByName(name);
    if (type < 0) Fail(at, "no operator type is called \"" + name + "\"");
    const records::TRecord* rec = records::OperatorRecord(type);
    if (!rec) Fail(at, "scripts are described under /scripts");
    if (!sets.is_array()) Fail(at, std::string("expected a list of parameter sets, found ") + sets.type_name());
    for (size_t i = 0; i < sets.size(); ++i) {
      std::string raw(static_cast<size_t>(rec->Size), '\0');
      records::RecordFromJson(*rec, sets[i], reinterpret_cast<unsigned char*>(raw.data()), at + "/" + std::to_string(i));
      d.Sets[static_cast<size_t>(type)].push_back(std::move(raw));
    }
  }
}

// Where files a description names by relative path are looked up, and the
// ones the build has read.
struct TFiles {
  std::string Dir = ".";
  std::vector<std::string> Read;
};

std::vector<std::string> LinesOf(const json& list, const std::string& where) {
  if (!list.is_array()) Fail(where, std::string("expected a list of lines, found ") + list.type_name());
  std::vector<std::string> lines;
  for (size_t j = 0; j < list.size(); ++j) {
    if (!list[j].is_string()) Fail(where + "/" + std::to_string(j), std::string("expected a line, found ") + list[j].type_name());
    lines.push_back(list[j].get<std::string>());
  }
  return lines;
}

// The bytes of one program, from whichever of its forms the description
// uses: "Code" (hex), "Asm" (assembly lines) or "AsmFile" (an assembly file
// beside the description).
std::string ProgramBytes(const json& program, const std::string& at, TFiles& files) {
  static constexpr const char* forms[] = {"Code", "Asm", "AsmFile"};
  const char* form = nullptr;
  for (const char* f : forms) {
    if (!program.contains(f)) continue;
    if (form) Fail(at + "/" + f, std::string("a program has one of \"Code\", \"Asm\" and \"AsmFile\", not two"));
    form = f;
  }
  if (!form) Fail(at + "/Code", "required field is missing (or \"Asm\" or \"AsmFile\")");
  const std::string where = at + "/" + form;
  if (!std::strcmp(form, "Code")) return records::HexBytesFromJson(program["Code"], where);
  if (!std::strcmp(form, "Asm")) {
    const scriptAsm::TAsmResult r = scriptAsm::Assemble(LinesOf(program["Asm"], where));
    if (!r.Ok) Fail(where + "/" + std::to_string(r.Error.Line - 1), "line " + std::to_string(r.Error.Line) + ": " + r.Error.Message);
    return std::string(r.Code.begin(), r.Code.end());
  }
  const std::string name = records::StringFromJson(program["AsmFile"], where);
  const std::filesystem::path path = paths::Of(files.Dir) / paths::Of(name);
  files.Read.push_back(paths::Text(path.lexically_normal()));
  std::ifstream in(path, std::ios::binary);
  if (!in) Fail(where, "cannot open \"" + name + "\"");
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const scriptAsm::TAsmResult r = scriptAsm::Assemble(scriptAsm::SplitLines(text));
  if (!r.Ok) Fail(where, name + ":" + std::to_string(r.Error.Line) + ": " + r.Error.Message);
  return std::string(r.Code.begin(), r.Code.end());
}

void ParseScripts(const json& s, const std::string& path, TDescription& d, TFiles& files) {
  static constexpr const char* known[] = {"ScrICount", "ScrFCount", "programs"};
  static constexpr const char* knownProgram[] = {"Code", "Asm", "AsmFile", "Source"};
  records::OnlyKnown(s, known, path);
  if (s.contains("ScrICount")) d.IntVars = Int(s, "ScrICount", path, 0, opScripter::MaxVars);
  if (s.contains("ScrFCount")) d.FloatVars = Int(s, "ScrFCount", path, 0, opScripter::MaxVars);
  const json& programs = List(s, "programs", path, false);
  for (size_t i = 0; i < programs.size(); ++i) {
    const std::string at = path + "/programs/" + std::to_string(i);
    records::OnlyKnown(programs[i], knownProgram, at);
    opScripter::TScript script;
    const std::string code = ProgramBytes(programs[i], at, files);
    if (code.size() > static_cast<size_t>(opScripter::MaxCodeLen)) Fail(at, "program is too long");
    script.Code.assign(code.begin(), code.end());
    script.CodeLen = static_cast<int32_t>(code.size());
    const json& lines = List(programs[i], "Source", at, false);
    for (size_t j = 0; j < lines.size(); ++j)
      script.SourceLines.push_back(records::StringFromJson(lines[j], at + "/Source/" + std::to_string(j)));
    script.SourceLineCount = static_cast<int32_t>(script.SourceLines.size());
    d.Scripts.push_back(std::move(script));
  }
}

TDescription Parse(const json& j, TFiles& files) {
  static constexpr const char* known[] = {"title", "music", "textures", "meshes", "events", "operators", "scripts", "unread"};
  records::OnlyKnown(j, known, "");
  TDescription d;
  if (j.contains("title")) {
    d.HasTitle = true;
    d.Title = records::StringFromJson(j["title"], "/title");
  }
  if (j.contains("music")) d.Music = records::StringFromJson(j["music"], "/music");
  ParseTextures(List(j, "textures", "", false), "/textures", d);
  ParseMeshes(List(j, "meshes", "", false), "/meshes", d);
  ParseEvents(List(j, "events", "", false), "/events", d);
  if (j.contains("operators")) ParseOperators(j["operators"], "/operators", d);
  if (j.contains("scripts")) ParseScripts(j["scripts"], "/scripts", d, files);
  // "unread" lists what an earlier file held beyond the player's keys; it
  // has no values to write.
  return d;
}

template <class T>
void WriteArray(const std::string& key, const std::vector<T>& v) {
  if (!v.empty()) filestuff::WriteBlock(key, v.data(), static_cast<int32_t>(v.size() * sizeof(T)));
}

void WriteValues(const TDescription& d) {
  using namespace filestuff;
  if (d.HasTitle) WriteString("DemoTitle", d.Title);
  WriteString("Music", d.Music);
  WriteInt("TexCount", static_cast<int32_t>(d.Textures.size()));
  for (size_t i = 0; i < d.Textures.size(); ++i) {
    const auto n = static_cast<int64_t>(i);
    WriteString(IndexedKey("Tex", n, "Name"), d.Textures[i].Name);
    WriteString(IndexedKey("Tex", n, "Data"), d.Textures[i].FileName);
    WriteBlock(IndexedKey("Tex", n, "Typ"), &d.Textures[i].Typ, 1);
  }
  WriteInt("MshCount", static_cast<int32_t>(d.Meshes.size()));
  for (size_t i = 0; i < d.Meshes.size(); ++i) {
    const mshman::TMesh& m = d.Meshes[i];
    const std::string p = IndexedKey("msh", static_cast<int64_t>(i));
    WriteString(p + "Data", m.FileName);
    WriteInt(p + "VertCount", m.VertCount);
    WriteInt(p + "Advanced", m.Advanced ? 1 : 0);
    WriteInt(p + "NormCount", m.NormCount);
    WriteInt(p + "TexCount", m.TexCount);
    WriteInt(p + "GroupCount", m.GroupCount);
    WriteArray(p + "Vert", m.Vertices);
    WriteArray(p + "Norm", m.Normals);
    WriteArray(p + "Tex", m.TexCoords);
    for (size_t j = 0; j < m.Groups.size(); ++j) {
      const mshman::TMeshGroup& g = m.Groups[j];
      const std::string q = IndexedKey(p + "Group", static_cast<int64_t>(j));
      WriteInt(q + "FaceCount", g.FaceCount);
      WriteArray(q + "Faces", g.Faces);
      WriteInt(q + "Mode", g.Mode);
      WriteInt(q + "Tex1", g.Tex1);
      WriteInt(q + "Tex2", g.Tex2);
      WriteInt(q + "TexMode", g.TexMode);
      WriteBlock(q + "States", g.States, sizeof g.States);
      WriteBlock(q + "Alpha", &g.Alpha, sizeof g.Alpha);
    }
  }
  WriteInt("EventCount", static_cast<int32_t>(d.Events.size()));
  for (size_t i = 0; i < d.Events.size(); ++i)
    WriteBlock(IndexedKey("Ev", static_cast<int64_t>(i)), &d.Events[i], sizeof(scheduler::TDemoEvent));
  for (int32_t t = 0; t < registry::OperatorCount; ++t) {
    const registry::TOperatorRow& row = roster::Rows[t];
    if (row.SetSize == 0) {
      WriteInt(row.CountKey, static_cast<int32_t>(d.Scripts.size()));
      WriteInt("ScrICount", d.IntVars);
      WriteInt("ScrFCount", d.FloatVars);
      for (size_t i = 0; i < d.Scripts.size(); ++i) {
        const opScripter::TScript& s = d.Scripts[i];
        const auto n = static_cast<int64_t>(i);
        WriteInt(IndexedKey("ScrCLen", n), s.CodeLen);
        WriteArray(IndexedKey("ScrC", n), s.Code);
        if (s.SourceLines.empty()) continue;
        WriteInt(IndexedKey("Scr", n, "SourceLen"), s.SourceLineCount);
        for (size_t j = 0; j < s.SourceLines.size(); ++j)
          WriteString(IndexedKey("Scr" + std::to_string(n) + "Source", static_cast<int64_t>(j)), s.SourceLines[j]);
      }
      continue;
    }
    const auto& sets = d.Sets[static_cast<size_t>(t)];
    WriteInt(row.CountKey, static_cast<int32_t>(sets.size()));
    for (size_t i = 0; i < sets.size(); ++i)
      WriteBlock(IndexedKey(row.SetPrefix, static_cast<int64_t>(i)), sets[i].data(), row.SetSize);
  }
}

}  // namespace

void BuildDemoFile(const records::json& desc, const std::string& out, const std::string& baseDir) {
  TFiles files;
  files.Dir = baseDir.empty() ? "." : baseDir;
  const TDescription d = Parse(desc, files);
  filestuff::WriteDemoFile(out, [&] { WriteValues(d); });
}

TBuilt BuildDemoBytes(const std::string& jsonText, const std::string& baseDir) {
  TBuilt built;
  TFiles files;
  files.Dir = baseDir.empty() ? "." : baseDir;
  try {
    const TDescription d = Parse(json::parse(jsonText), files);
    built.Bytes = filestuff::WriteDemoBytes([&] { WriteValues(d); });
    built.Ok = true;
  } catch (const json::exception& e) {
    built.Error = e.what();
  } catch (const records::DescError& e) {
    built.Error = e.what();
  } catch (const filestuff::WriteError& e) {
    built.Error = e.what();
  }
  built.FilesRead = std::move(files.Read);
  return built;
}

}  // namespace demoBuild
