#include "script/scripter.h"

#ifdef _WIN32
#include <windows.h>
#endif
#include <GL/gl.h>

#include <cmath>
#include <cstring>
#include <limits>

#include "engine/messages.h"
#include "resources/texMan.h"
#include "script/scriptShapes.h"

namespace scripter {

// DIVI, DIVF, BEAT and the shapes round through a 64-bit mantissa; stored
// demos were made with exactly that precision.
static_assert(std::numeric_limits<long double>::digits == 64, "long double must have a 64-bit mantissa");

// ---- whole program ----
std::vector<int32_t> IntVars;
std::vector<float> FloatVars;
int32_t CmpA = 0, CmpB = 0;
GLCalls GL = RealGL();

namespace {

constexpr int32_t StackSize = 32;
constexpr int32_t MaxJumps = 50;

// ---- per run (the shadow pass nests once and shares all of it) ----
int32_t IntStack[StackSize];
float FloatStack[StackSize];
int32_t IntDepth = 0, FloatDepth = 0;
bool ShadowPass = false;
float ShadowOffset[3] = {0, 0, 0};
float LightVector[4] = {0, 0, 0, 0};
int64_t BudgetLeft = 0;

struct Inputs {
  const uint8_t* Code;
  int32_t CodeLen;
  int32_t Time;
  int32_t Elapsed;
  float Progress;
};

// The low 32 bits of x rounded to the nearest integer (halves to even) as
// a 64-bit integer; infinities, NaN and magnitudes of 2^63 or more give 0.
int32_t RoundLow32(long double x) {
  if (!(std::fabs(x) < 0x1p63L)) return 0;
  return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(std::llrint(x))));
}

int32_t Div(int32_t a, int32_t b) {
  if (b == 0) return 0;
  const long double r = 1.0L / static_cast<long double>(b);
  return RoundLow32(static_cast<long double>(a) * r);
}

int32_t Mod(int32_t a, int32_t b) { return (b == 0 || b == -1) ? 0 : a % b; }

float Sin(float a) {
  if (!(std::fabs(a) < 0x1p63f)) return 0.0f;
  return static_cast<float>(std::sin(static_cast<long double>(a)));
}

int32_t Wrap(uint32_t v) { return static_cast<int32_t>(v); }

int32_t ReadI32(const uint8_t* p) {
  uint32_t v;
  std::memcpy(&v, p, 4);
  return Wrap(v);
}

float ReadF32(const uint8_t* p) {
  float v;
  std::memcpy(&v, p, 4);
  return v;
}

[[noreturn]] __attribute__((noinline, cold)) void IntPushError() { ScriptError("Stack error (int push)"); }
[[noreturn]] __attribute__((noinline, cold)) void IntPopError() { ScriptError("Stack error (int pop)"); }
[[noreturn]] __attribute__((noinline, cold)) void FloatPushError() { ScriptError("Stack error (float push)"); }
[[noreturn]] __attribute__((noinline, cold)) void FloatPopError() { ScriptError("Stack error (float pop)"); }

void Execute(const Inputs& in);

// Runs the whole program again as a black, offset shadow; the outer run
// continues with the stacks as the nested one leaves them.
void ShadowRun(const Inputs& in, const float* xyz) {
  ShadowPass = true;
  ShadowOffset[0] = xyz[0];
  ShadowOffset[1] = xyz[1];
  ShadowOffset[2] = xyz[2];
  struct Off {
    ~Off() { ShadowPass = false; }
  } off;
  Execute(in);
}

// One run: steps the program counter through the code. The stack depths
// live in locals while the loop runs and go back to the module state around
// anything that reads them (the shadow pass).
void Execute(const Inputs& in) {
  // Stack tops as pointers: `it` and `ft` point one past the top entry.
  int32_t* it = IntStack;
  float* ft = FloatStack;
  int32_t* const iEnd = IntStack + StackSize;
  float* const fEnd = FloatStack + StackSize;
  int32_t* const iv = IntVars.data();
  const size_t ivCount = IntVars.size();
  float* const fv = FloatVars.data();
  const size_t fvCount = FloatVars.size();
  const uint8_t* const code = in.Code;
  const int64_t len = in.CodeLen;
  const uint8_t* const end = code + len;
  const uint8_t* pc = code;  // the opcode byte that runs next
  int32_t jumps = 0;
  int64_t budget = BudgetLeft;
  const bool shadow = ShadowPass;

  if (shadow) {
    GL.Disable(GL_DEPTH_TEST);
    GL.Color4f(0.0f, 0.0f, 0.0f, 1.0f);
    GL.Translatef(ShadowOffset[0], ShadowOffset[1], ShadowOffset[2]);
  }

#define NEED_I(k) \
  if (it - IntStack < (k)) [[unlikely]] IntPopError()
#define NEED_F(k) \
  if (ft - FloatStack < (k)) [[unlikely]] FloatPopError()
#define PUSH_I(v)                              \
  do {                                         \
    if (it == iEnd) [[unlikely]] IntPushError(); \
    *it++ = (v);                               \
  } while (0)
#define PUSH_F(v)                                \
  do {                                           \
    if (ft == fEnd) [[unlikely]] FloatPushError(); \
    *ft++ = (v);                                 \
  } while (0)
#define OPERANDS(n) \
  if (end - pc <= (n)) goto done
// A shape pays one instruction per vertex; one the budget cannot pay for
// ends the run instead of drawing.
#define PAY(vertices)                                \
  do {                                               \
    const int64_t cost_ = (vertices);                \
    if (cost_ > budget) goto early;                  \
    budget -= cost_;                                 \
  } while (0)

  while (pc < end) {
    if (--budget < 0) goto early;
    switch (*pc) {
      case 0:  // PUSHI
        OPERANDS(4);
        PUSH_I(ReadI32(pc + 1));
        pc += 4;
        break;
      case 1: {  // LOADI
        OPERANDS(1);
        const uint8_t i = pc[1];
        PUSH_I(i < ivCount ? iv[i] : 0);
        pc += 1;
        break;
      }
      case 2:  // PUSHF
        OPERANDS(4);
        PUSH_F(ReadF32(pc + 1));
        pc += 4;
        break;
      case 3: {  // LOADF
        OPERANDS(1);
        const uint8_t i = pc[1];
        PUSH_F(i < fvCount ? fv[i] : 0.0f);
        pc += 1;
        break;
      }
      case 4: {  // STOREI
        OPERANDS(1);
        const uint8_t i = pc[1];
        NEED_I(1);
        --it;
        if (i < ivCount) iv[i] = it[0];
        pc += 1;
        break;
      }
      case 5: {  // STOREF
        OPERANDS(1);
        const uint8_t i = pc[1];
        NEED_F(1);
        --ft;
        if (i < fvCount) fv[i] = ft[0];
        pc += 1;
        break;
      }
      case 6:  // MULI
        NEED_I(2);
        --it;
        it[-1] = Wrap(static_cast<uint32_t>(it[-1]) * static_cast<uint32_t>(it[0]));
        break;
      case 7:  // DIVI
        NEED_I(2);
        --it;
        it[-1] = Div(it[-1], it[0]);
        break;
      case 8:  // ADDI
        NEED_I(2);
        --it;
        it[-1] = Wrap(static_cast<uint32_t>(it[-1]) + static_cast<uint32_t>(it[0]));
        break;
      case 9:  // SUBI
        NEED_I(2);
        --it;
        it[-1] = Wrap(static_cast<uint32_t>(it[-1]) - static_cast<uint32_t>(it[0]));
        break;
      case 10:  // MULF
        NEED_F(2);
        --ft;
        ft[-1] = ft[-1] * ft[0];
        break;
      case 11:  // DIVF
        NEED_F(2);
        --ft;
        ft[-1] = static_cast<float>(static_cast<long double>(ft[-1]) * (1.0L / ft[0]));
        break;
      case 12:  // ADDF
        NEED_F(2);
        --ft;
        ft[-1] = ft[-1] + ft[0];
        break;
      case 13:  // SUBF
        NEED_F(2);
        --ft;
        ft[-1] = ft[-1] - ft[0];
        break;
      case 14:  // SINF
        NEED_F(1);
        ft[-1] = Sin(ft[-1]);
        break;
      case 15: {  // STARTUBE
        NEED_F(4);
        ft -= 4;
        NEED_I(1);
        --it;
        PAY(shapes::StarTubeVertices(it[0]));
        shapes::StarTube(it[0], ft[0], ft[1], ft[2], ft[3]);
        break;
      }
      case 16:  // LINEWIDTH
        NEED_F(1);
        GL.LineWidth(*--ft);
        break;
      case 24:  // JMP
        if (++jumps > MaxJumps) goto early;
        NEED_I(1);
        {
          const int32_t target = *--it;
          if (target < 0 || target >= len) goto done;
          pc = code + target;
        }
        continue;
      case 25:
        GL.PushMatrix();
        break;
      case 26:
        GL.PopMatrix();
        break;
      case 27:  // TRANSLATE
        NEED_F(3);
        ft -= 3;
        GL.Translatef(ft[0], ft[1], ft[2]);
        break;
      case 28:  // COLOR3
        NEED_F(3);
        ft -= 3;
        if (!shadow) GL.Color3f(ft[0], ft[1], ft[2]);
        break;
      case 29:  // COLOR4
        NEED_F(4);
        ft -= 4;
        if (!shadow) GL.Color4f(ft[0], ft[1], ft[2], ft[3]);
        break;
      case 30:  // ROTATE
        NEED_F(4);
        ft -= 4;
        GL.Rotatef(ft[0], ft[1], ft[2], ft[3]);
        break;
      case 31:  // BEGIN
        NEED_I(1);
        GL.Begin(static_cast<uint32_t>(*--it));
        break;
      case 32:
        GL.End();
        break;
      case 33:  // VERTEX
        NEED_F(3);
        ft -= 3;
        GL.Vertex3f(ft[0], ft[1], ft[2]);
        break;
      case 34:  // TEXCOORD
        NEED_F(2);
        ft -= 2;
        GL.TexCoord2f(ft[0], ft[1]);
        break;
      case 35:  // ENABLE
        NEED_I(1);
        GL.Enable(static_cast<uint32_t>(*--it));
        break;
      case 36:  // DISABLE
        NEED_I(1);
        GL.Disable(static_cast<uint32_t>(*--it));
        break;
      case 37:  // BLENDFUNC
        NEED_I(2);
        it -= 2;
        GL.BlendFunc(static_cast<uint32_t>(it[0]), static_cast<uint32_t>(it[1]));
        break;
      case 38: {  // BINDTEX: a 0-based table index; outside the table binds 0
        NEED_I(1);
        const int32_t i = *--it;
        const bool inside = i >= 0 && i < texMan::TexCount() && static_cast<size_t>(i) < texMan::TextureTable.size();
        GL.BindTexture2D(inside ? texMan::TextureTable[static_cast<size_t>(i)].GLName : 0);
        break;
      }
      case 45:  // SETCMP
        NEED_I(2);
        it -= 2;
        CmpA = it[1];
        CmpB = it[0];
        break;
      case 46:  // JEQ
        NEED_I(1);
        --it;
        if (CmpA != CmpB) break;
        if (it[0] < 0 || it[0] >= len) goto done;
        pc = code + it[0];
        continue;
      case 47:  // MODI
        NEED_I(2);
        --it;
        it[-1] = Mod(it[-1], it[0]);
        break;
      case 48:  // LIGHTV: the value pushed last is element 0
        NEED_F(4);
        ft -= 4;
        for (int k = 0; k < 4; ++k) LightVector[k] = ft[3 - k];
        NEED_I(2);
        it -= 2;
        GL.Lightfv(static_cast<uint32_t>(it[0]), static_cast<uint32_t>(it[1]), LightVector);
        break;
      case 49: {  // LIGHT1
        static const float ambient[4] = {0.5f, 0.5f, 0.5f, 1.0f};
        static const float diffuse[4] = {1.0f, 1.0f, 1.0f, 1.0f};
        static const float position[4] = {0.0f, 0.0f, 2.0f, 1.0f};
        GL.Lightfv(GL_LIGHT1, GL_AMBIENT, ambient);
        GL.Lightfv(GL_LIGHT1, GL_DIFFUSE, diffuse);
        GL.Lightfv(GL_LIGHT1, GL_POSITION, position);
        GL.Enable(GL_LIGHT1);
        break;
      }
      case 50:
        PUSH_I(in.Time);
        break;
      case 51:
        PUSH_I(in.Elapsed);
        break;
      case 52:
        PUSH_F(in.Progress);
        break;
      case 53:  // ITOF
        NEED_I(1);
        --it;
        PUSH_F(static_cast<float>(it[0]));
        break;
      case 54:  // FTOI
        NEED_F(1);
        --ft;
        PUSH_I(RoundLow32(ft[0]));
        break;
      case 73: {  // BEAT
        NEED_F(1);
        const float bpm = *--ft;
        NEED_I(1);
        const int32_t beats = *--it;
        const long double perBeat = (60.0L / bpm) * 1000.0L;
        const int32_t period = RoundLow32(static_cast<long double>(beats) * perBeat);
        if (period == 0) goto early;
        const int64_t rest = static_cast<int64_t>(static_cast<uint32_t>(in.Time)) % period;
        PUSH_F(static_cast<float>(static_cast<long double>(rest) / period));
        break;
      }
      case 91:  // QUAD
        NEED_F(4);
        ft -= 4;
        PAY(4);
        shapes::Quad(ft[0], ft[1], ft[2], ft[3]);
        break;
      case 92:  // BOX: hx is on top
        NEED_F(3);
        ft -= 3;
        PAY(24);
        shapes::Box(ft[2], ft[1], ft[0]);
        break;
      case 93:  // RING
        NEED_F(2);
        ft -= 2;
        NEED_I(1);
        --it;
        PAY(shapes::RingVertices(it[0]));
        shapes::Ring(it[0], ft[1], ft[0]);
        break;
      case 94:  // SPHERE
        NEED_F(1);
        --ft;
        NEED_I(1);
        --it;
        PAY(shapes::SphereVertices(it[0], ft[0]));
        shapes::Sphere(it[0], ft[0]);
        break;
      case 95:  // DISC
        NEED_F(1);
        --ft;
        NEED_I(1);
        --it;
        PAY(shapes::DiscVertices(it[0]));
        shapes::Disc(it[0], ft[0]);
        break;
      case 96:  // CONE
        NEED_F(2);
        ft -= 2;
        NEED_I(1);
        --it;
        PAY(shapes::DiscVertices(it[0]));
        shapes::Cone(it[0], ft[1], ft[0]);
        break;
      case 99:  // RAYS
        NEED_F(2);
        ft -= 2;
        NEED_I(1);
        --it;
        PAY(shapes::SphereVertices(it[0], ft[1]));
        shapes::Rays(it[0], ft[1], ft[0]);
        break;
      case 100: {  // SHADOW: x is on top
        NEED_F(3);
        ft -= 3;
        if (shadow) break;
        const float xyz[3] = {ft[2], ft[1], ft[0]};
        BudgetLeft = budget;
        ShadowRun(in, xyz);
        budget = BudgetLeft;
        it = IntStack + IntDepth;
        ft = FloatStack + FloatDepth;
        break;
      }
      default:  // unlisted opcodes are one-byte no-operations
        break;
    }
    ++pc;
  }
done:
early:
  // Even a nested run that ends early puts the shadow offset and the depth
  // test back, so the outer run draws in the right place.
  if (shadow) {
    GL.Translatef(-ShadowOffset[0], -ShadowOffset[1], -ShadowOffset[2]);
    GL.Enable(GL_DEPTH_TEST);
  }
  IntDepth = static_cast<int32_t>(it - IntStack);
  FloatDepth = static_cast<int32_t>(ft - FloatStack);
  BudgetLeft = budget < 0 ? 0 : budget;
#undef NEED_I
#undef NEED_F
#undef PUSH_I
#undef PUSH_F
#undef OPERANDS
#undef PAY
}

}  // namespace

GLCalls RealGL() {
  GLCalls g;
  g.Begin = [](uint32_t m) { glBegin(m); };
  g.End = [] { glEnd(); };
  g.Vertex3f = [](float x, float y, float z) { glVertex3f(x, y, z); };
  g.TexCoord2f = [](float s, float t) { glTexCoord2f(s, t); };
  g.Normal3f = [](float x, float y, float z) { glNormal3f(x, y, z); };
  g.Color3f = [](float r, float gg, float b) { glColor3f(r, gg, b); };
  g.Color4f = [](float r, float gg, float b, float a) { glColor4f(r, gg, b, a); };
  g.PushMatrix = [] { glPushMatrix(); };
  g.PopMatrix = [] { glPopMatrix(); };
  g.Translatef = [](float x, float y, float z) { glTranslatef(x, y, z); };
  g.Rotatef = [](float a, float x, float y, float z) { glRotatef(a, x, y, z); };
  g.Enable = [](uint32_t c) { glEnable(c); };
  g.Disable = [](uint32_t c) { glDisable(c); };
  g.BlendFunc = [](uint32_t s, uint32_t d) { glBlendFunc(s, d); };
  g.BindTexture2D = [](uint32_t n) { glBindTexture(GL_TEXTURE_2D, n); };
  g.Lightfv = [](uint32_t l, uint32_t p, const float* v) { glLightfv(l, p, v); };
  g.LineWidth = [](float w) { glLineWidth(w); };
  return g;
}

void RunScript(const uint8_t* code, int32_t codeLen, int32_t time, int32_t elapsed, float progress) {
  if (!code || codeLen <= 0) return;
  ShadowPass = false;
  BudgetLeft = InstructionBudget;
  Execute(Inputs{code, codeLen, time, elapsed, progress});
}

void ScriptError(const char* message) {
  // The run is abandoned; the next one starts clean.
  ShadowPass = false;
  messages::ShowFatal("bad error", message);
}

void Startup() {
  CmpA = CmpB = 0;
  GL = RealGL();
}

void Shutdown() {
  IntVars.clear();
  FloatVars.clear();
}

}  // namespace scripter
