// startup: the setup window on screen. An SDL2 window with an OpenGL context
// and Dear ImGui draws every control at its pixel position and hands clicks,
// list choices, Alt + letter and the close box to the window's logic.
#include <SDL.h>
#include <imgui.h>

#include <array>
#include <cctype>
#include <cstdio>
#include <cstdint>
#include <string>
#include <vector>

#include "backends/imgui_impl_opengl2.h"
#include "backends/imgui_impl_sdl.h"
#include "engine/settings.h"
#include "platform/fonts.h"
#include "platform/muzax.h"
#include "player/startup.h"

#include <GL/gl.h>

namespace startup {

namespace {

constexpr float kNormalFontSize = 13.0f;
constexpr float kLabelFontSize = 12.0f;
constexpr float kListHeight = 21.0f;  // height of a closed list

TFrameObserver frameObserver = nullptr;
bool escapePressed = false;  // closes an open list on the next frame

ImFont* normalFont = nullptr;
ImFont* labelFont = nullptr;
GLuint logoTexture = 0;

ImU32 Rgb(int r, int g, int b) { return IM_COL32(r, g, b, 255); }
ImVec4 RgbF(int r, int g, int b) { return ImVec4(r / 255.0f, g / 255.0f, b / 255.0f, 1.0f); }

void LoadFonts() {
  ImGuiIO& io = ImGui::GetIO();
  // Verdana, or the face fontconfig offers in its place; ImGui's own font when
  // nothing readable is installed.
  const std::string normal = fonts::TrueTypeFileFor("Verdana");
  const std::string label = fonts::TrueTypeFileFor("Verdana", fonts::TWeight::Black);
  normalFont = normal.empty() ? nullptr : io.Fonts->AddFontFromFileTTF(normal.c_str(), kNormalFontSize);
  if (!normalFont) {
    ImFontConfig config;
    config.SizePixels = kNormalFontSize;
    normalFont = io.Fonts->AddFontDefault(&config);
  }
  labelFont = label.empty() ? nullptr : io.Fonts->AddFontFromFileTTF(label.c_str(), kLabelFontSize);
  if (!labelFont) labelFont = normalFont;
}

void SetStyle() {
  ImGui::StyleColorsLight();
  ImGuiStyle& style = ImGui::GetStyle();
  style.WindowPadding = ImVec2(0, 0);
  style.WindowRounding = 0;
  style.WindowBorderSize = 0;
  style.FrameRounding = 0;
  style.FrameBorderSize = 1;
  style.PopupRounding = 0;
  style.PopupBorderSize = 1;
  style.FramePadding = ImVec2(4, 1);
  style.ItemSpacing = ImVec2(4, 2);
  style.ItemInnerSpacing = ImVec2(5, 2);
  style.ScrollbarSize = 14;
  style.ScrollbarRounding = 0;
  style.GrabRounding = 0;
  style.DisabledAlpha = 0.5f;
  ImVec4* c = style.Colors;
  // The classic desktop greys: a light grey face, black text.
  const ImVec4 face = RgbF(212, 208, 200);
  c[ImGuiCol_WindowBg] = face;
  c[ImGuiCol_Text] = RgbF(0, 0, 0);
  c[ImGuiCol_TextDisabled] = RgbF(128, 128, 128);
  c[ImGuiCol_Border] = RgbF(64, 64, 64);
  c[ImGuiCol_BorderShadow] = ImVec4(0, 0, 0, 0);
  c[ImGuiCol_Button] = face;
  c[ImGuiCol_ButtonHovered] = RgbF(224, 221, 214);
  c[ImGuiCol_ButtonActive] = RgbF(190, 186, 178);
  c[ImGuiCol_FrameBg] = RgbF(255, 255, 255);
  c[ImGuiCol_FrameBgHovered] = RgbF(255, 255, 255);
  c[ImGuiCol_FrameBgActive] = RgbF(255, 255, 255);
  c[ImGuiCol_CheckMark] = RgbF(0, 0, 0);
  c[ImGuiCol_PopupBg] = RgbF(255, 255, 255);
  // The chosen entry of an open list is white on dark blue; the one under
  // the mouse is light blue, so its black text stays readable.
  c[ImGuiCol_Header] = RgbF(10, 36, 106);
  c[ImGuiCol_HeaderHovered] = RgbF(166, 190, 226);
  c[ImGuiCol_HeaderActive] = RgbF(166, 190, 226);
}

void CreateLogoTexture() {
  const std::vector<uint8_t> pixels = LogoPixels();
  glGenTextures(1, &logoTexture);
  glBindTexture(GL_TEXTURE_2D, logoTexture);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, kLogoWidth, kLogoHeight, 0, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
  glBindTexture(GL_TEXTURE_2D, 0);
}

// The text without its "&" marks, and the index in it of the mnemonic
// letter (-1 when there is none).
std::string PlainText(const char* text, int* mnemonic) {
  std::string plain;
  *mnemonic = -1;
  for (const char* p = text; *p; ++p) {
    if (*p == '&' && p[1]) {
      ++p;
      if (*p != '&' && *mnemonic < 0) *mnemonic = static_cast<int>(plain.size());
    }
    plain += *p;
  }
  return plain;
}

void DrawButton(const TControl& c) {
  int mnemonic = -1;
  const std::string text = PlainText(c.text, &mnemonic);
  ImGui::SetCursorPos(ImVec2(static_cast<float>(c.x), static_cast<float>(c.y)));
  ImGui::PushID(c.id);
  const ImVec2 size(static_cast<float>(c.w), static_cast<float>(c.h));
  if (ImGui::Button(text.c_str(), size)) Click(c.id);
  ImGui::PopID();
  if (mnemonic >= 0) {
    // Underline the letter Alt presses, where the centred label puts it.
    const ImVec2 min = ImGui::GetItemRectMin();
    const ImVec2 textSize = ImGui::CalcTextSize(text.c_str());
    const float left = min.x + (size.x - textSize.x) * 0.5f +
                       ImGui::CalcTextSize(text.c_str(), text.c_str() + mnemonic).x;
    const float right = left + ImGui::CalcTextSize(text.c_str() + mnemonic, text.c_str() + mnemonic + 1).x;
    const float y = min.y + (size.y - textSize.y) * 0.5f + ImGui::GetFontSize() - 0.5f;
    ImGui::GetWindowDrawList()->AddLine(ImVec2(left, y), ImVec2(right, y), ImGui::GetColorU32(ImGuiCol_Text));
  }
}

void DrawCheckBox(const TControl& c) {
  const bool enabled = Enabled(c.id);
  ImGui::SetCursorPos(ImVec2(static_cast<float>(c.x), static_cast<float>(c.y)));
  ImGui::BeginDisabled(!enabled);
  ImGui::PushID(c.id);
  // ImGui gets a copy: the window's logic, not the widget, flips the box.
  bool ticked = Checked(c.id);
  if (ImGui::Checkbox(c.text, &ticked)) Click(c.id);
  ImGui::PopID();
  ImGui::EndDisabled();
}

void DrawLabel(const TControl& c) {
  ImGui::SetCursorPos(ImVec2(static_cast<float>(c.x), static_cast<float>(c.y)));
  ImGui::PushFont(c.font == TFont::Label ? labelFont : normalFont);
  if (c.disabled)
    ImGui::TextDisabled("%s", c.text);
  else
    ImGui::TextUnformatted(c.text);
  ImGui::PopFont();
}

void DrawLogo(const TControl& c) {
  ImGui::SetCursorPos(ImVec2(static_cast<float>(c.x), static_cast<float>(c.y)));
  ImGui::Image(reinterpret_cast<ImTextureID>(static_cast<intptr_t>(logoTexture)),
               ImVec2(static_cast<float>(c.w), static_cast<float>(c.h)));
}

void DrawFrame(const TControl& c) {
  // A flat group box: a one-pixel outline whose top edge runs through the
  // middle of the caption, the caption on the window's face colour.
  ImDrawList* draw = ImGui::GetWindowDrawList();
  const ImVec2 origin = ImGui::GetWindowPos();
  const float x0 = origin.x + c.x + 0.5f, x1 = origin.x + c.x + c.w - 0.5f;
  const float top = origin.y + c.y + static_cast<float>(static_cast<int>(ImGui::GetFontSize() / 2)) + 0.5f;
  const float y1 = origin.y + c.y + c.h - 0.5f;
  draw->AddRect(ImVec2(x0, top), ImVec2(x1, y1), Rgb(128, 128, 128));
  const ImVec2 textSize = ImGui::CalcTextSize(c.text);
  const ImVec2 textPos(origin.x + c.x + 9, origin.y + c.y);
  draw->AddRectFilled(ImVec2(textPos.x - 2, textPos.y), ImVec2(textPos.x + textSize.x + 2, textPos.y + textSize.y),
                      ImGui::GetColorU32(ImGuiCol_WindowBg));
  draw->AddText(textPos, ImGui::GetColorU32(ImGuiCol_Text), c.text);
}

void DrawList(const TControl& c) {
  const std::vector<std::string>& items = Items(c.id);
  const int selection = Selection(c.id);
  const char* preview = selection >= 0 && selection < static_cast<int>(items.size()) ? items[selection].c_str() : "";
  ImGui::SetCursorPos(ImVec2(static_cast<float>(c.x), static_cast<float>(c.y)));
  ImGui::SetNextItemWidth(static_cast<float>(c.w));
  ImGui::PushStyleVar(ImGuiStyleVar_FramePadding,
                      ImVec2(4, (kListHeight - ImGui::GetFontSize()) / 2));
  // The control's height is that of the list when it is open.
  ImGui::SetNextWindowSizeConstraints(ImVec2(static_cast<float>(c.w), 0),
                                      ImVec2(static_cast<float>(c.w), static_cast<float>(c.h) - kListHeight));
  ImGui::PushID(c.id);
  if (ImGui::BeginCombo("##list", preview)) {
    if (escapePressed) ImGui::CloseCurrentPopup();
    for (int i = 0; i < static_cast<int>(items.size()); ++i) {
      ImGui::PushID(i);
      const bool selected = i == selection;
      if (selected) ImGui::PushStyleColor(ImGuiCol_Text, IM_COL32_WHITE);
      const bool picked = ImGui::Selectable(items[i].c_str(), selected);
      if (selected) ImGui::PopStyleColor();
      if (picked) Choose(c.id, i);
      if (selected) ImGui::SetItemDefaultFocus();
      ImGui::PopID();
    }
    ImGui::EndCombo();
  }
  ImGui::PopID();
  ImGui::PopStyleVar();
}

void DrawWindow() {
  ImGui::SetNextWindowPos(ImVec2(0, 0));
  ImGui::SetNextWindowSize(ImVec2(static_cast<float>(kWindowWidth), static_cast<float>(kWindowHeight)));
  ImGui::Begin("setup", nullptr,
               ImGuiWindowFlags_NoDecoration | ImGuiWindowFlags_NoMove | ImGuiWindowFlags_NoSavedSettings |
                   ImGuiWindowFlags_NoBringToFrontOnFocus | ImGuiWindowFlags_NoScrollWithMouse);
  ImGui::PushFont(normalFont);
  // The frame first so that the controls inside it draw over its outline.
  for (const TControl& c : Controls())
    if (c.kind == TControlKind::Frame) DrawFrame(c);
  for (const TControl& c : Controls()) {
    switch (c.kind) {
      case TControlKind::Button: DrawButton(c); break;
      case TControlKind::CheckBox: DrawCheckBox(c); break;
      case TControlKind::Label: DrawLabel(c); break;
      case TControlKind::Logo: DrawLogo(c); break;
      case TControlKind::List: DrawList(c); break;
      case TControlKind::Frame: break;
    }
  }
  ImGui::PopFont();
  ImGui::End();
  escapePressed = false;
}

void HandleEvent(const SDL_Event& e, Uint32 windowId) {
  ImGui_ImplSDL2_ProcessEvent(&e);
  if (e.type == SDL_QUIT) {
    CloseBox();
  } else if (e.type == SDL_WINDOWEVENT && e.window.event == SDL_WINDOWEVENT_CLOSE && e.window.windowID == windowId) {
    CloseBox();
  } else if (e.type == SDL_KEYDOWN && (e.key.keysym.mod & KMOD_ALT) && e.key.keysym.sym >= SDLK_a &&
             e.key.keysym.sym <= SDLK_z) {
    Mnemonic(static_cast<char>('a' + (e.key.keysym.sym - SDLK_a)));
  } else if (e.type == SDL_KEYDOWN && e.key.keysym.sym == SDLK_ESCAPE) {
    // Escape closes an open list first, then presses Quit.
    if (ImGui::IsPopupOpen("", ImGuiPopupFlags_AnyPopupId))
      escapePressed = true;
    else
      Escape();
  } else if (e.type == SDL_KEYDOWN && (e.key.keysym.sym == SDLK_RETURN || e.key.keysym.sym == SDLK_KP_ENTER) &&
             !(e.key.keysym.mod & KMOD_ALT) && !ImGui::IsPopupOpen("", ImGuiPopupFlags_AnyPopupId)) {
    Enter();
  }
}

}  // namespace

void SetFrameObserver(TFrameObserver observer) { frameObserver = observer; }

void RunSetupDialog(const std::string& title) {
  if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
    BeginDialog(title, muzax::PlaybackDevices());
    std::fprintf(stderr, "qvlplay: no setup window: %s\n", SDL_GetError());
    return;
  }
  const int display = settings::Display >= 0 && settings::Display < SDL_GetNumVideoDisplays() ? settings::Display : 0;
  SDL_Rect screen{0, 0, 0, 0};
  SDL_GetDisplayBounds(display, &screen);
  BeginDialog(title, muzax::PlaybackDevices(), screen.w, screen.h);
  const std::array<int, 4> place = Placement(screen.w, screen.h);
  SDL_Window* window = SDL_CreateWindow(Caption().c_str(), screen.x + place[0], screen.y + place[1], place[2],
                                        place[3], SDL_WINDOW_OPENGL | SDL_WINDOW_SHOWN);
  SDL_GLContext context = window ? SDL_GL_CreateContext(window) : nullptr;
  if (!context) {
    std::fprintf(stderr, "qvlplay: no setup window: %s\n", SDL_GetError());
    if (window) SDL_DestroyWindow(window);
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    return;
  }
  SDL_GL_MakeCurrent(window, context);
  SDL_GL_SetSwapInterval(1);

  IMGUI_CHECKVERSION();
  ImGui::CreateContext();
  ImGuiIO& io = ImGui::GetIO();
  io.IniFilename = nullptr;  // nothing is written to disk
  io.LogFilename = nullptr;
  SetStyle();
  LoadFonts();
  ImGui_ImplSDL2_InitForOpenGL(window, context);
  ImGui_ImplOpenGL2_Init();
  CreateLogoTexture();

  const Uint32 windowId = SDL_GetWindowID(window);
  for (int frame = 0; !Destroyed(); ++frame) {
    SDL_Event e;
    // Sleep until something happens; a short timeout keeps hover and the
    // open list up to date.
    if (frame > 1 && SDL_WaitEventTimeout(&e, 100)) HandleEvent(e, windowId);
    while (!Destroyed() && SDL_PollEvent(&e)) HandleEvent(e, windowId);
    if (Destroyed()) break;

    ImGui_ImplOpenGL2_NewFrame();
    ImGui_ImplSDL2_NewFrame();
    ImGui::NewFrame();
    DrawWindow();
    ImGui::Render();
    int w = 0, h = 0;
    SDL_GL_GetDrawableSize(window, &w, &h);
    glViewport(0, 0, w, h);
    const ImVec4 face = ImGui::GetStyle().Colors[ImGuiCol_WindowBg];
    glClearColor(face.x, face.y, face.z, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    ImGui_ImplOpenGL2_RenderDrawData(ImGui::GetDrawData());
    if (frameObserver) frameObserver(frame);
    SDL_GL_SwapWindow(window);
  }

  // The demo plays on the display the window was moved to.
  const int shownOn = SDL_GetWindowDisplayIndex(window);
  if (shownOn >= 0) settings::Display = shownOn;
  glDeleteTextures(1, &logoTexture);
  logoTexture = 0;
  ImGui_ImplOpenGL2_Shutdown();
  ImGui_ImplSDL2_Shutdown();
  ImGui::DestroyContext();
  normalFont = labelFont = nullptr;
  SDL_GL_DeleteContext(context);
  SDL_DestroyWindow(window);
  // What is left in the queue belongs to the setup window, not to the demo's.
  SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
  SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

}  // namespace startup
