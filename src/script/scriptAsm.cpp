#include "script/scriptAsm.h"

#include <GL/gl.h>

#include <bit>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <map>
#include <optional>
#include <set>
#include <string_view>

#include "script/opcodes.h"

namespace scriptAsm {

namespace {

struct TGlName {
  const char* Name;
  int32_t Value;
};

#define QVL_GL(n) {#n, n}
// The enumerations scripts pass to BEGIN, ENABLE, DISABLE, BLENDFUNC and LIGHTV.
constexpr TGlName glNames[] = {
    QVL_GL(GL_POINTS), QVL_GL(GL_LINES), QVL_GL(GL_LINE_LOOP), QVL_GL(GL_LINE_STRIP), QVL_GL(GL_TRIANGLES),
    QVL_GL(GL_TRIANGLE_STRIP), QVL_GL(GL_TRIANGLE_FAN), QVL_GL(GL_QUADS), QVL_GL(GL_QUAD_STRIP), QVL_GL(GL_POLYGON),
    QVL_GL(GL_BLEND), QVL_GL(GL_DEPTH_TEST), QVL_GL(GL_TEXTURE_2D), QVL_GL(GL_LIGHTING), QVL_GL(GL_CULL_FACE),
    QVL_GL(GL_ALPHA_TEST), QVL_GL(GL_FOG), QVL_GL(GL_COLOR_MATERIAL), QVL_GL(GL_NORMALIZE), QVL_GL(GL_LINE_SMOOTH),
    QVL_GL(GL_POINT_SMOOTH), QVL_GL(GL_POLYGON_SMOOTH), QVL_GL(GL_TEXTURE_GEN_S), QVL_GL(GL_TEXTURE_GEN_T),
    QVL_GL(GL_LIGHT0), QVL_GL(GL_LIGHT1), QVL_GL(GL_LIGHT2), QVL_GL(GL_LIGHT3), QVL_GL(GL_LIGHT4),
    QVL_GL(GL_LIGHT5), QVL_GL(GL_LIGHT6), QVL_GL(GL_LIGHT7), QVL_GL(GL_ZERO), QVL_GL(GL_ONE),
    QVL_GL(GL_SRC_COLOR), QVL_GL(GL_ONE_MINUS_SRC_COLOR), QVL_GL(GL_SRC_ALPHA), QVL_GL(GL_ONE_MINUS_SRC_ALPHA),
    QVL_GL(GL_DST_ALPHA), QVL_GL(GL_ONE_MINUS_DST_ALPHA), QVL_GL(GL_DST_COLOR), QVL_GL(GL_ONE_MINUS_DST_COLOR),
    QVL_GL(GL_SRC_ALPHA_SATURATE), QVL_GL(GL_AMBIENT), QVL_GL(GL_DIFFUSE), QVL_GL(GL_SPECULAR),
    QVL_GL(GL_POSITION), QVL_GL(GL_SPOT_DIRECTION), QVL_GL(GL_SPOT_EXPONENT), QVL_GL(GL_SPOT_CUTOFF),
    QVL_GL(GL_CONSTANT_ATTENUATION), QVL_GL(GL_LINEAR_ATTENUATION), QVL_GL(GL_QUADRATIC_ATTENUATION),
    QVL_GL(GL_EMISSION), QVL_GL(GL_SHININESS), QVL_GL(GL_AMBIENT_AND_DIFFUSE),
};
#undef QVL_GL

std::string Upper(std::string_view s) {
  std::string u(s);
  for (char& c : u) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return u;
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.remove_suffix(1);
  return s;
}

bool IsIdentStart(char c) { return std::isalpha(static_cast<unsigned char>(c)) || c == '_'; }
bool IsIdentChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; }

bool IsIdentifier(std::string_view s) {
  if (s.empty() || !IsIdentStart(s[0])) return false;
  for (char c : s)
    if (!IsIdentChar(c)) return false;
  return true;
}

std::optional<int32_t> GlValue(std::string_view s) {
  const std::string u = Upper(s);
  for (const TGlName& g : glNames)
    if (u == g.Name) return g.Value;
  return std::nullopt;
}

const opcodes::TInstr* ByName(std::string_view s) {
  const std::string u = Upper(s);
  for (const opcodes::TInstr& i : opcodes::Table)
    if (u == i.Name) return &i;
  return nullptr;
}

// A decimal or 0x-hex integer with an optional sign; nullopt when the text
// is not one or lies beyond 64 bits.
std::optional<int64_t> ParseInt(std::string_view s) {
  bool negative = false;
  if (!s.empty() && (s[0] == '-' || s[0] == '+')) {
    negative = s[0] == '-';
    s.remove_prefix(1);
  }
  int base = 10;
  if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
    base = 16;
    s.remove_prefix(2);
  }
  if (s.empty()) return std::nullopt;
  uint64_t v = 0;
  const auto r = std::from_chars(s.data(), s.data() + s.size(), v, base);
  if (r.ec != std::errc() || r.ptr != s.data() + s.size() || v > (uint64_t{1} << 62)) return std::nullopt;
  return negative ? -static_cast<int64_t>(v) : static_cast<int64_t>(v);
}

bool IsDecimalNumber(std::string_view s) {
  size_t i = 0;
  auto digits = [&] {
    const size_t from = i;
    while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i]))) ++i;
    return i > from;
  };
  if (i < s.size() && (s[i] == '-' || s[i] == '+')) ++i;
  const bool whole = digits();
  bool fraction = false;
  if (i < s.size() && s[i] == '.') {
    ++i;
    fraction = digits();
  }
  if (!whole && !fraction) return false;
  if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
    ++i;
    if (i < s.size() && (s[i] == '-' || s[i] == '+')) ++i;
    if (!digits()) return false;
  }
  return i == s.size();
}

// The nearest single to a decimal number; nullopt when it is not one or
// lies beyond the largest single.
std::optional<float> ParseFloat(std::string_view s) {
  if (!IsDecimalNumber(s)) return std::nullopt;
  const std::string text(s);
  const float f = std::strtof(text.c_str(), nullptr);  // correctly rounded, unlike going through double
  if (std::isinf(f)) return std::nullopt;
  return f;
}

void Put32(std::vector<uint8_t>& code, uint32_t v) {
  for (int k = 0; k < 4; ++k) code.push_back(static_cast<uint8_t>(v >> (8 * k)));
}

uint32_t Get32(const uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24; }

struct TFixup {
  int32_t Line;
  size_t At;  // where the four bytes go
  std::string Label;
};

class Failed {};

struct TAssembler {
  std::vector<uint8_t> Code;
  std::map<std::string, int32_t> Labels;
  std::vector<TFixup> Fixups;
  TAsmError Error;
  int32_t Line = 0;

  [[noreturn]] void Fail(std::string message) {
    Error = {Line, std::move(message)};
    throw Failed{};
  }

  std::string_view DefineLabel(std::string_view rest) {
    size_t n = 0;
    while (n < rest.size() && IsIdentChar(rest[n])) ++n;
    if (n == 0 || n >= rest.size() || rest[n] != ':' || !IsIdentStart(rest[0])) return rest;
    const std::string name(rest.substr(0, n));
    if (GlValue(name)) Fail("label \"" + name + "\" is an OpenGL name");
    if (Labels.count(name)) Fail("label \"" + name + "\" is defined twice");
    Labels[name] = static_cast<int32_t>(Code.size());
    return Trim(rest.substr(n + 1));
  }

  void Bytes(std::string_view list) {
    if (Trim(list).empty()) Fail(".byte needs at least one value");
    while (true) {
      const size_t comma = list.find(',');
      const std::string_view item = Trim(list.substr(0, comma));
      const auto v = ParseInt(item);
      if (!v || *v < 0 || *v > 255) Fail("\"" + std::string(item) + "\" is not a byte value 0..255");
      Code.push_back(static_cast<uint8_t>(*v));
      if (comma == std::string_view::npos) break;
      list.remove_prefix(comma + 1);
    }
  }

  void Operand(const opcodes::TInstr& in, std::string_view arg) {
    const std::string text(arg);
    switch (in.Kind) {
      case opcodes::Operand::None:
        return;
      case opcodes::Operand::Index: {
        const auto v = ParseInt(arg);
        if (!v || *v < 0 || *v > 255) Fail(std::string(in.Name) + " takes a variable number 0..255, not \"" + text + "\"");
        Code.push_back(static_cast<uint8_t>(*v));
        return;
      }
      case opcodes::Operand::Float32: {
        const auto f = ParseFloat(arg);
        if (!f) Fail("PUSHF takes a decimal number within the range of a single, not \"" + text + "\"");
        Put32(Code, std::bit_cast<uint32_t>(*f));
        return;
      }
      case opcodes::Operand::Int32: {
        if (IsIdentifier(arg)) {
          if (const auto g = GlValue(arg)) {
            Put32(Code, static_cast<uint32_t>(*g));
          } else {
            Fixups.push_back({Line, Code.size(), text});
            Put32(Code, 0);
          }
          return;
        }
        const auto v = ParseInt(arg);
        if (!v) Fail("PUSHI takes an integer, a label or an OpenGL name, not \"" + text + "\"");
        if (*v < INT32_MIN || *v > UINT32_MAX) Fail("PUSHI value " + text + " does not fit in 32 bits");
        Put32(Code, static_cast<uint32_t>(*v));
        return;
      }
    }
  }

  void Statement(std::string_view line) {
    size_t c = line.find(';');
    std::string_view rest = DefineLabel(Trim(line.substr(0, c)));
    if (rest.empty()) return;
    size_t n = 0;
    while (n < rest.size() && !std::isspace(static_cast<unsigned char>(rest[n]))) ++n;
    const std::string_view word = rest.substr(0, n);
    const std::string_view arg = Trim(rest.substr(n));
    if (Upper(word) == ".BYTE") return Bytes(arg);
    const opcodes::TInstr* in = ByName(word);
    if (!in) Fail("unknown mnemonic \"" + std::string(word) + "\"");
    const bool wants = in->Kind != opcodes::Operand::None;
    if (wants && arg.empty()) Fail(std::string(in->Name) + " needs an operand");
    if (!wants && !arg.empty()) Fail(std::string(in->Name) + " takes no operand");
    if (wants && arg.find_first_of(" \t") != std::string_view::npos)
      Fail(std::string(in->Name) + " takes one operand, not \"" + std::string(arg) + "\"");
    Code.push_back(in->Code);
    Operand(*in, arg);
  }

  void Resolve() {
    for (const TFixup& f : Fixups) {
      const auto it = Labels.find(f.Label);
      Line = f.Line;
      if (it == Labels.end()) Fail("undefined label \"" + f.Label + "\"");
      const auto v = static_cast<uint32_t>(it->second);
      for (int k = 0; k < 4; ++k) Code[f.At + static_cast<size_t>(k)] = static_cast<uint8_t>(v >> (8 * k));
    }
  }
};

std::string ByteList(const std::vector<uint8_t>& code, size_t from, size_t to) {
  std::string s = ".byte ";
  for (size_t i = from; i < to; ++i) s += (i > from ? ", " : "") + std::to_string(code[i]);
  return s;
}

// The shortest decimal that reads back as exactly `f`; empty for values the
// assembler cannot take (infinities, NaN).
std::string FloatText(float f) {
  if (!std::isfinite(f)) return {};
  char buf[32];
  const auto r = std::to_chars(buf, buf + sizeof buf, f);
  const std::string text(buf, r.ptr);
  const auto back = ParseFloat(text);
  if (!back || std::bit_cast<uint32_t>(*back) != std::bit_cast<uint32_t>(f)) return {};
  return text;
}

}  // namespace

TAsmResult Assemble(const std::vector<std::string>& lines) {
  TAssembler a;
  TAsmResult result;
  try {
    for (const std::string& l : lines) {
      ++a.Line;
      a.Statement(l);
    }
    a.Resolve();
  } catch (const Failed&) {
    result.Error = a.Error;
    return result;
  }
  result.Ok = true;
  result.Code = std::move(a.Code);
  return result;
}

std::string Disassemble(const std::vector<uint8_t>& code) {
  const size_t len = code.size();
  std::vector<size_t> starts;
  for (size_t pc = 0; pc < len;) {
    starts.push_back(pc);
    const opcodes::TInstr* in = opcodes::Find(code[pc]);
    pc += 1 + (in ? static_cast<size_t>(opcodes::OperandBytes(in->Kind)) : 0);
  }
  const std::set<size_t> isStart(starts.begin(), starts.end());
  std::set<size_t> labels;
  std::vector<bool> asLabel(starts.size(), false);
  for (size_t k = 0; k + 1 < starts.size(); ++k) {
    const size_t pc = starts[k];
    const uint8_t next = code[starts[k + 1]];
    if (code[pc] != opcodes::PUSHI || starts[k + 1] != pc + 5 || (next != opcodes::JMP && next != opcodes::JEQ)) continue;
    const auto target = static_cast<int32_t>(Get32(&code[pc + 1]));
    if (target < 0 || (static_cast<size_t>(target) != len && !isStart.count(static_cast<size_t>(target)))) continue;
    labels.insert(static_cast<size_t>(target));
    asLabel[k] = true;
  }

  std::string out = "; " + std::to_string(len) + " bytes\n";
  auto emit = [&](size_t at, const std::string& text, const std::string& note = {}) {
    if (labels.count(at)) out += "L" + std::to_string(at) + ":\n";
    std::string line = "    " + text;
    if (line.size() < 28) line.resize(28, ' ');
    out += line + " ; " + std::to_string(at) + (note.empty() ? "" : " " + note) + "\n";
  };
  for (size_t k = 0; k < starts.size(); ++k) {
    const size_t pc = starts[k];
    const opcodes::TInstr* in = opcodes::Find(code[pc]);
    if (!in) {
      emit(pc, ByteList(code, pc, pc + 1), "(no instruction)");
      continue;
    }
    const size_t size = 1 + static_cast<size_t>(opcodes::OperandBytes(in->Kind));
    if (pc + size > len) {
      emit(pc, ByteList(code, pc, len), std::string("(") + in->Name + " cut off)");
      continue;
    }
    std::string text = in->Name;
    switch (in->Kind) {
      case opcodes::Operand::None:
        break;
      case opcodes::Operand::Index:
        text += " " + std::to_string(code[pc + 1]);
        break;
      case opcodes::Operand::Int32: {
        const uint32_t v = Get32(&code[pc + 1]);
        text += asLabel[k] ? " L" + std::to_string(v) : " " + std::to_string(static_cast<int32_t>(v));
        break;
      }
      case opcodes::Operand::Float32: {
        const float f = std::bit_cast<float>(Get32(&code[pc + 1]));
        const std::string t = FloatText(f);
        if (t.empty()) {
          char note[32];
          std::snprintf(note, sizeof note, "(PUSHF 0x%08x)", Get32(&code[pc + 1]));
          emit(pc, ByteList(code, pc, pc + size), note);
          continue;
        }
        text += " " + t;
        break;
      }
    }
    emit(pc, text);
  }
  if (labels.count(len)) out += "L" + std::to_string(len) + ":\n";
  return out;
}

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  size_t from = 0;
  while (from <= text.size()) {
    size_t nl = text.find('\n', from);
    if (nl == std::string::npos) nl = text.size();
    std::string line = text.substr(from, nl - from);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(std::move(line));
    if (nl == text.size()) break;
    from = nl + 1;
  }
  return lines;
}

}  // namespace scriptAsm
