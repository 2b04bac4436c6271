// scripter: the script engine. Runs one compiled drawing script once,
// issuing OpenGL calls into the current context as it goes.
//
// The variable banks and the comparison registers are shared by every
// script and every instance; the bank sizes come with the scripts in the
// demo file. A run carries nothing else over to the next one.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace scripter {

extern std::vector<int32_t> IntVars;
extern std::vector<float> FloatVars;
extern int32_t CmpA, CmpB;

// Every OpenGL call a script can make goes through this table. It defaults
// to the real functions; a test or a fuzz target may put a recorder in its
// place (and then needs no GL context at all). Every entry must be set.
struct GLCalls {
  void (*Begin)(uint32_t mode);                                   // glBegin
  void (*End)();                                                  // glEnd
  void (*Vertex3f)(float x, float y, float z);                    // glVertex3f
  void (*TexCoord2f)(float s, float t);                           // glTexCoord2f
  void (*Normal3f)(float x, float y, float z);                    // glNormal3f
  void (*Color3f)(float r, float g, float b);                     // glColor3f
  void (*Color4f)(float r, float g, float b, float a);            // glColor4f
  void (*PushMatrix)();                                           // glPushMatrix
  void (*PopMatrix)();                                            // glPopMatrix
  void (*Translatef)(float x, float y, float z);                  // glTranslatef
  void (*Rotatef)(float angle, float x, float y, float z);        // glRotatef, degrees
  void (*Enable)(uint32_t cap);                                   // glEnable
  void (*Disable)(uint32_t cap);                                  // glDisable
  void (*BlendFunc)(uint32_t sfactor, uint32_t dfactor);          // glBlendFunc
  void (*BindTexture2D)(uint32_t name);                           // glBindTexture(GL_TEXTURE_2D, name)
  void (*Lightfv)(uint32_t light, uint32_t pname, const float* v);  // glLightfv, v holds four floats
  void (*LineWidth)(float width);                                 // glLineWidth
};
extern GLCalls GL;
// The table of the real OpenGL functions.
GLCalls RealGL();

// A run ends after this many executed instructions (shapes pay one per
// vertex), nested shadow runs included, so no script can hang the player.
inline constexpr int64_t InstructionBudget = 1'000'000;

// Runs `code` once from byte 0 with the frame's time values. A stack fault
// does not return: see ScriptError.
void RunScript(const uint8_t* code, int32_t codeLen, int32_t time, int32_t elapsed, float progress);

// The fatal stack fault: shows `message` under "bad error" and throws
// messages::Fatal, which the player turns into a clean shutdown with
// exit status 1.
[[noreturn]] void ScriptError(const char* message);

void Startup();
void Shutdown();

}  // namespace scripter
