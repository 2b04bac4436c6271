#include "player/overlay.h"

#include <SDL.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include <imgui.h>

#include "backends/imgui_impl_opengl2.h"
#include "backends/imgui_impl_sdl.h"
#include "data/demo.h"
#include "engine/registry.h"
#include "operators/roster.h"
#include "engine/scheduler.h"
#include "authoring/authoring.h"
#include "player/mainloop.h"
#include "player/openglx.h"

namespace overlay {

namespace {

bool started = false;
ImGuiContext* context = nullptr;

constexpr float RowHeight = 11.0f;
constexpr float AxisHeight = 16.0f;
constexpr float LabelWidth = 26.0f;

std::string EventLabel(const scheduler::TDemoEvent& e) {
  const char* name = e.OpType >= 0 && e.OpType < registry::OperatorCount ? roster::Rows[e.OpType].Name : "?";
  return std::string(name) + " #" + std::to_string(e.ParamSet);
}

void DrawTimeline() {
  const ImGuiIO& io = ImGui::GetIO();
  const float height = AxisHeight + RowHeight * scheduler::TrackCount + 48.0f;
  ImGui::SetNextWindowPos(ImVec2(0.0f, io.DisplaySize.y - height));
  ImGui::SetNextWindowSize(ImVec2(io.DisplaySize.x, height));
  ImGui::SetNextWindowBgAlpha(0.75f);
  ImGui::Begin("Timeline", nullptr,
               ImGuiWindowFlags_NoDecoration | ImGuiWindowFlags_NoMove | ImGuiWindowFlags_NoSavedSettings |
                   ImGuiWindowFlags_NoFocusOnAppearing | ImGuiWindowFlags_NoNav);

  const int32_t time = mainloop::DemoTime;
  ImGui::Text("%s%s   %s", FormatTime(time).c_str(), mainloop::Paused ? " (paused)" : "",
              openglx::FPSText.empty() ? "FPS: -" : openglx::FPSText.c_str());
  ImGui::TextUnformatted(authoring::LastMessage().c_str());

  ImDrawList* draw = ImGui::GetWindowDrawList();
  const ImVec2 origin = ImGui::GetCursorScreenPos();
  const float left = origin.x + LabelWidth;
  const float width = std::max(ImGui::GetContentRegionAvail().x - LabelWidth, 1.0f);
  const int32_t span = AxisSpan(time);
  auto xOf = [&](int64_t t) { return left + width * static_cast<float>(static_cast<double>(t) / span); };

  // The axis: a second tick each second (or fewer on a long demo).
  draw->AddRectFilled(ImVec2(left, origin.y), ImVec2(left + width, origin.y + AxisHeight), IM_COL32(40, 40, 60, 255));
  const int32_t step = std::max<int32_t>(1000, (span / 20 + 999) / 1000 * 1000);
  for (int32_t t = 0; t <= span; t += step) {
    draw->AddLine(ImVec2(xOf(t), origin.y), ImVec2(xOf(t), origin.y + 5.0f), IM_COL32(200, 200, 200, 255));
    char text[16];
    std::snprintf(text, sizeof text, "%ds", t / 1000);
    draw->AddText(ImVec2(xOf(t) + 2.0f, origin.y + 2.0f), IM_COL32(200, 200, 200, 255), text);
  }
  ImGui::SetCursorScreenPos(ImVec2(left, origin.y));
  ImGui::InvisibleButton("axis", ImVec2(width, AxisHeight));
  if (ImGui::IsItemActive()) {
    const double at = (io.MousePos.x - left) / width * span;
    const auto target = static_cast<int32_t>(std::clamp(at, 0.0, static_cast<double>(span)));
    mainloop::SeekTo(target - mainloop::UserOffset);
  }

  const float rowsTop = origin.y + AxisHeight;
  for (int32_t track = 0; track < scheduler::TrackCount; ++track) {
    const float y = rowsTop + RowHeight * static_cast<float>(track);
    char text[8];
    std::snprintf(text, sizeof text, "%d", track);
    draw->AddText(ImGui::GetFont(), RowHeight - 1.0f, ImVec2(origin.x, y), IM_COL32(160, 160, 160, 255), text);
    if (track % 2 == 0)
      draw->AddRectFilled(ImVec2(left, y), ImVec2(left + width, y + RowHeight), IM_COL32(255, 255, 255, 12));
  }
  for (const scheduler::TDemoEvent& e : demo::DemoData.Events) {
    if (e.Track >= scheduler::TrackCount) continue;
    const int64_t end = static_cast<int64_t>(e.Start) + e.Length;
    const bool active = time >= e.Start && time <= end;
    const float y = rowsTop + RowHeight * static_cast<float>(e.Track);
    const ImVec2 a(std::max(xOf(e.Start), left), y + 1.0f);
    const ImVec2 b(std::max(std::min(xOf(end), left + width), a.x + 2.0f), y + RowHeight - 1.0f);
    draw->AddRectFilled(a, b, active ? IM_COL32(240, 180, 40, 230) : IM_COL32(70, 110, 170, 200));
    const std::string label = EventLabel(e);
    draw->PushClipRect(a, b, true);
    draw->AddText(ImGui::GetFont(), RowHeight - 1.0f, ImVec2(a.x + 2.0f, y), active ? IM_COL32(0, 0, 0, 255)
                                                                                    : IM_COL32(255, 255, 255, 255),
                  label.c_str());
    draw->PopClipRect();
  }
  const float cursor = xOf(std::clamp<int64_t>(time, 0, span));
  draw->AddLine(ImVec2(cursor, origin.y), ImVec2(cursor, rowsTop + RowHeight * scheduler::TrackCount),
                IM_COL32(255, 60, 60, 255), 2.0f);
  ImGui::End();
}

}  // namespace

std::string FormatTime(int32_t ms) {
  const int64_t v = std::llabs(static_cast<int64_t>(ms));
  char text[32];
  std::snprintf(text, sizeof text, "%s%02lld:%02lld.%03lld", ms < 0 ? "-" : "", static_cast<long long>(v / 60000),
                static_cast<long long>(v / 1000 % 60), static_cast<long long>(v % 1000));
  return text;
}

int32_t AxisSpan(int32_t time) {
  int64_t end = 1000;
  for (const scheduler::TDemoEvent& e : demo::DemoData.Events)
    end = std::max(end, static_cast<int64_t>(e.Start) + e.Length);
  end = std::max<int64_t>(end, time);
  return static_cast<int32_t>(std::min<int64_t>(end, INT32_MAX));
}

void Startup() {
  SDL_Window* window = SDL_GL_GetCurrentWindow();
  if (started || !window) return;
  IMGUI_CHECKVERSION();
  // The setup window had its own context and has destroyed it by now.
  context = ImGui::CreateContext();
  ImGuiIO& io = ImGui::GetIO();
  io.IniFilename = nullptr;
  io.LogFilename = nullptr;
  // The player hides the pointer in full screen; leave that to it.
  io.ConfigFlags |= ImGuiConfigFlags_NoMouseCursorChange;
  ImGui::StyleColorsDark();
  ImGui_ImplSDL2_InitForOpenGL(window, SDL_GL_GetCurrentContext());
  ImGui_ImplOpenGL2_Init();
  openglx::SetEventTap([](const SDL_Event& e) { ImGui_ImplSDL2_ProcessEvent(&e); });
  started = true;
}

void Shutdown() {
  if (!started) return;
  openglx::SetEventTap({});
  ImGui_ImplOpenGL2_Shutdown();
  ImGui_ImplSDL2_Shutdown();
  ImGui::DestroyContext(context);
  context = nullptr;
  started = false;
}

void Draw() {
  if (!started) return;
  ImGui_ImplOpenGL2_NewFrame();
  ImGui_ImplSDL2_NewFrame();
  ImGui::NewFrame();
  // A frame every time, shown or not, so the queued input is used up.
  if (mainloop::OverlayShown) DrawTimeline();
  ImGui::Render();
  ImGui_ImplOpenGL2_RenderDrawData(ImGui::GetDrawData());
}

}  // namespace overlay
