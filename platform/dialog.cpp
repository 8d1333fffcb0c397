// The settings dialog on Dear ImGui over SDL2 and OpenGL 2, laid out after the dialog
// template: 128 x 70 dialog units, one dialog unit being 1.6 pixels across and 1.625 down
// (about the base units of an 8-point system font, widened a little for ImGui's 7-pixel font).
#include "platform/dialog.h"

#include <SDL.h>
#include <backends/imgui_impl_opengl2.h>
#include <backends/imgui_impl_sdl.h>
#include <imgui.h>

#include <array>
#include <string>

#include "platform/gl.h"
#include "platform/platform.h"

namespace platform {

namespace {

constexpr float kUnitX = 1.6f;
constexpr float kUnitY = 1.625f;
constexpr int kDialogUnitsW = 128;
constexpr int kDialogUnitsH = 70;
constexpr int kFramesPerScriptStep = 4;
constexpr int kFramesAfterScript = 8;

struct Rect {
  float x, y, w, h;  // dialog units
};

ImVec2 toPixels(float x, float y) { return ImVec2(x * kUnitX, y * kUnitY); }

// Control rectangles as laid out in the template.
constexpr Rect kRectFullscreen{72, 54, 48, 8};
constexpr Rect kRectRun{72, 18, 48, 13};
constexpr Rect kRectExit{72, 35, 48, 13};
constexpr Rect kRectGreeting{5, 3, 117, 10};
constexpr Rect kRectGroup{7, 15, 61, 48};
constexpr Rect kRectRes640{11, 27, 48, 8};
constexpr Rect kRectRes800{11, 38, 48, 8};
constexpr Rect kRectRes1024{11, 50, 52, 8};

// Where each clickable control was drawn in the latest frame, in pixels (for scripted clicks).
struct ControlRect {
  int id = 0;
  ImVec2 min, max;
};

class DialogWindow {
 public:
  DialogWindow(const std::string& greeting, const DialogProcedure& procedure)
      : greeting_(greeting), procedure_(procedure) {}
  ~DialogWindow() { close(); }

  bool open();
  // Runs until the procedure ends the dialog; returns its result.
  int run(const std::vector<DialogInput>* script);

 private:
  void close();
  void send(DialogMessage message, uint32_t wordParam);
  void handleEvent(const SDL_Event& event);
  void drawControls();
  void control(int id, bool clicked);
  void feedScript(const std::vector<DialogInput>& script, int frame);
  bool centreOf(int id, ImVec2& centre) const;
  void pushKey(SDL_Keycode key);

  std::string greeting_;
  const DialogProcedure& procedure_;
  DialogControls controls_;
  DialogReply reply_;
  SDL_Window* window_ = nullptr;
  SDL_GLContext context_ = nullptr;
  bool imguiReady_ = false;
  std::vector<ControlRect> rects_;
  ImVec2 scriptMouse_{-1.0f, -1.0f};
  bool scriptButton_ = false;
};

bool DialogWindow::open() {
  std::string error;
  if (!startVideo(error)) return false;
  SDL_GL_ResetAttributes();
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
  SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
  const int w = static_cast<int>(kDialogUnitsW * kUnitX);
  const int h = static_cast<int>(kDialogUnitsH * kUnitY);
  window_ = SDL_CreateWindow("", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, w, h,
                             SDL_WINDOW_OPENGL | SDL_WINDOW_BORDERLESS | SDL_WINDOW_SHOWN);
  if (!window_) return false;
  context_ = SDL_GL_CreateContext(window_);
  if (!context_ || SDL_GL_MakeCurrent(window_, context_) != 0) return false;
  SDL_GL_SetSwapInterval(1);
  SDL_RaiseWindow(window_);

  IMGUI_CHECKVERSION();
  ImGui::CreateContext();
  ImGuiIO& io = ImGui::GetIO();
  io.IniFilename = nullptr;
  io.LogFilename = nullptr;
  io.ConfigFlags &= ~(ImGuiConfigFlags_NavEnableKeyboard | ImGuiConfigFlags_NavEnableGamepad);
  ImGui::StyleColorsLight();
  ImGuiStyle& style = ImGui::GetStyle();
  style.WindowRounding = 0.0f;
  style.FrameRounding = 0.0f;
  style.WindowBorderSize = 1.0f;
  style.FrameBorderSize = 1.0f;
  style.WindowPadding = ImVec2(0.0f, 0.0f);
  style.FramePadding = ImVec2(2.0f, 0.0f);
  style.ItemInnerSpacing = ImVec2(3.0f, 0.0f);
  style.Colors[ImGuiCol_WindowBg] = ImVec4(0.83f, 0.82f, 0.78f, 1.0f);
  style.Colors[ImGuiCol_Border] = ImVec4(0.25f, 0.25f, 0.25f, 1.0f);
  if (!ImGui_ImplSDL2_InitForOpenGL(window_, context_)) return false;
  if (!ImGui_ImplOpenGL2_Init()) {
    ImGui_ImplSDL2_Shutdown();
    return false;
  }
  imguiReady_ = true;
  return true;
}

void DialogWindow::close() {
  if (imguiReady_) {
    ImGui_ImplOpenGL2_Shutdown();
    ImGui_ImplSDL2_Shutdown();
    imguiReady_ = false;
  }
  if (ImGui::GetCurrentContext()) ImGui::DestroyContext();
  if (context_) {
    SDL_GL_MakeCurrent(window_, nullptr);
    SDL_GL_DeleteContext(context_);
    context_ = nullptr;
  }
  if (window_) SDL_DestroyWindow(window_);
  window_ = nullptr;
}

void DialogWindow::send(DialogMessage message, uint32_t wordParam) {
  if (reply_.end) return;
  reply_ = procedure_(message, wordParam, controls_);
}

void DialogWindow::handleEvent(const SDL_Event& event) {
  ImGui_ImplSDL2_ProcessEvent(&event);
  if (event.type == SDL_QUIT) {
    send(DialogMessage::Close, 0);
  } else if (event.type == SDL_WINDOWEVENT && event.window.event == SDL_WINDOWEVENT_CLOSE) {
    send(DialogMessage::Close, 0);
  } else if (event.type == SDL_KEYDOWN && event.key.repeat == 0) {
    const SDL_Keycode key = event.key.keysym.sym;
    // As in a system dialog: Escape sends the cancel command, Enter clicks the default button.
    if (key == SDLK_ESCAPE) send(DialogMessage::Command, kDialogCancel);
    if (key == SDLK_RETURN || key == SDLK_KP_ENTER) send(DialogMessage::Command, kDialogRun);
  }
}

void DialogWindow::control(int id, bool clicked) {
  rects_.push_back({id, ImGui::GetItemRectMin(), ImGui::GetItemRectMax()});
  if (!clicked) return;
  // Automatic controls change their own check state before they report the click (ImGui has
  // already toggled the check box).
  if (id == kDialogRes640 || id == kDialogRes800 || id == kDialogRes1024) {
    controls_.res640 = id == kDialogRes640;
    controls_.res800 = id == kDialogRes800;
    controls_.res1024 = id == kDialogRes1024;
  }
  send(DialogMessage::Command, static_cast<uint32_t>(id));
}

void DialogWindow::drawControls() {
  rects_.clear();
  ImGuiIO& io = ImGui::GetIO();
  ImGui::SetNextWindowPos(ImVec2(0.0f, 0.0f));
  ImGui::SetNextWindowSize(io.DisplaySize);
  ImGui::Begin("settings", nullptr,
               ImGuiWindowFlags_NoDecoration | ImGuiWindowFlags_NoMove |
                   ImGuiWindowFlags_NoSavedSettings | ImGuiWindowFlags_NoBringToFrontOnFocus |
                   ImGuiWindowFlags_NoNav);
  ImDrawList* draw = ImGui::GetWindowDrawList();
  const ImU32 shadow = IM_COL32(128, 128, 128, 255);
  const ImU32 light = IM_COL32(255, 255, 255, 255);
  const ImU32 text = ImGui::GetColorU32(ImGuiCol_Text);

  // Greeting: centred text in a sunken frame.
  {
    const ImVec2 a = toPixels(kRectGreeting.x, kRectGreeting.y);
    const ImVec2 b = toPixels(kRectGreeting.x + kRectGreeting.w, kRectGreeting.y + kRectGreeting.h);
    draw->AddLine(a, ImVec2(b.x, a.y), shadow);
    draw->AddLine(a, ImVec2(a.x, b.y), shadow);
    draw->AddLine(ImVec2(a.x, b.y), b, light);
    draw->AddLine(ImVec2(b.x, a.y), b, light);
    const ImVec2 size = ImGui::CalcTextSize(greeting_.c_str());
    draw->AddText(ImVec2(a.x + (b.x - a.x - size.x) * 0.5f, a.y + (b.y - a.y - size.y) * 0.5f),
                  text, greeting_.c_str());
  }
  // Group box "Resolution": an etched frame with its title on the top edge.
  {
    const ImVec2 a = toPixels(kRectGroup.x, kRectGroup.y);
    const ImVec2 b = toPixels(kRectGroup.x + kRectGroup.w, kRectGroup.y + kRectGroup.h);
    const char* title = "Resolution";
    const ImVec2 size = ImGui::CalcTextSize(title);
    const float top = a.y + size.y * 0.5f;
    draw->AddRect(ImVec2(a.x, top), b, shadow);
    draw->AddRectFilled(ImVec2(a.x + 5.0f, a.y), ImVec2(a.x + 9.0f + size.x, a.y + size.y),
                        ImGui::GetColorU32(ImGuiCol_WindowBg));
    draw->AddText(ImVec2(a.x + 7.0f, a.y), text, title);
  }

  struct Radio {
    int id;
    const char* label;
    Rect rect;
  };
  const std::array<Radio, 3> radios{{{kDialogRes640, "640 x 480", kRectRes640},
                                     {kDialogRes800, "800 x 600", kRectRes800},
                                     {kDialogRes1024, "1024 x 768", kRectRes1024}}};
  for (const Radio& r : radios) {
    ImGui::SetCursorPos(toPixels(r.rect.x, r.rect.y - 1.0f));
    const bool clicked = ImGui::RadioButton(r.label, controls_.isChecked(r.id));
    control(r.id, clicked);
  }

  const ImVec2 buttonSize(kRectRun.w * kUnitX, kRectRun.h * kUnitY);
  ImGui::SetCursorPos(toPixels(kRectRun.x, kRectRun.y));
  ImGui::PushStyleColor(ImGuiCol_Border, ImVec4(0.0f, 0.0f, 0.0f, 1.0f));
  ImGui::PushStyleVar(ImGuiStyleVar_FrameBorderSize, 2.0f);  // the default button
  control(kDialogRun, ImGui::Button("Run", buttonSize));
  ImGui::PopStyleVar();
  ImGui::PopStyleColor();
  ImGui::SetCursorPos(toPixels(kRectExit.x, kRectExit.y));
  control(kDialogExit, ImGui::Button("Exit", buttonSize));

  ImGui::SetCursorPos(toPixels(kRectFullscreen.x, kRectFullscreen.y - 1.0f));
  const bool toggled = ImGui::Checkbox("Fullscreen", &controls_.fullScreen);
  control(kDialogFullscreen, toggled);

  ImGui::End();
}

bool DialogWindow::centreOf(int id, ImVec2& centre) const {
  for (const ControlRect& r : rects_) {
    if (r.id != id) continue;
    // The centre of the box or circle part of check boxes and radio buttons, so the click
    // lands on the control and not beside its label.
    const float h = r.max.y - r.min.y;
    if (id == kDialogRun || id == kDialogExit)
      centre = ImVec2((r.min.x + r.max.x) * 0.5f, (r.min.y + r.max.y) * 0.5f);
    else
      centre = ImVec2(r.min.x + h * 0.5f, r.min.y + h * 0.5f);
    return true;
  }
  return false;
}

void DialogWindow::pushKey(SDL_Keycode key) {
  SDL_Event e{};
  e.type = SDL_KEYDOWN;
  e.key.windowID = SDL_GetWindowID(window_);
  e.key.state = SDL_PRESSED;
  e.key.keysym.sym = key;
  e.key.keysym.scancode = SDL_GetScancodeFromKey(key);
  SDL_PushEvent(&e);
  e.type = SDL_KEYUP;
  e.key.state = SDL_RELEASED;
  SDL_PushEvent(&e);
}

// Step s of the script covers frames s * kFramesPerScriptStep onwards: a click moves the mouse
// onto the control, presses, and releases on the following frames; keys and the close command
// are posted as system events on the step's first frame.
void DialogWindow::feedScript(const std::vector<DialogInput>& script, int frame) {
  const int step = frame / kFramesPerScriptStep;
  const int phase = frame % kFramesPerScriptStep;
  scriptButton_ = false;
  if (step >= static_cast<int>(script.size())) return;
  const DialogInput& in = script[static_cast<size_t>(step)];
  switch (in.kind) {
    case DialogInput::Kind::Click: {
      ImVec2 c;
      if (centreOf(in.control, c)) scriptMouse_ = c;
      scriptButton_ = phase == 1;
      break;
    }
    case DialogInput::Kind::Escape:
      if (phase == 0) pushKey(SDLK_ESCAPE);
      break;
    case DialogInput::Kind::Enter:
      if (phase == 0) pushKey(SDLK_RETURN);
      break;
    case DialogInput::Kind::Close:
      if (phase == 0) {
        SDL_Event e{};
        e.type = SDL_WINDOWEVENT;
        e.window.event = SDL_WINDOWEVENT_CLOSE;
        e.window.windowID = SDL_GetWindowID(window_);
        SDL_PushEvent(&e);
      }
      break;
  }
}

int DialogWindow::run(const std::vector<DialogInput>* script) {
  send(DialogMessage::Init, 0);
  const int lastFrame =
      script ? static_cast<int>(script->size()) * kFramesPerScriptStep + kFramesAfterScript : 0;
  for (int frame = 0; !reply_.end; ++frame) {
    if (script && frame > lastFrame) return kDialogScriptExhausted;
    SDL_Event event;
    // A person's dialog waits for input instead of spinning; a scripted one runs flat out.
    if (!script && SDL_WaitEventTimeout(&event, 100)) handleEvent(event);
    while (!reply_.end && SDL_PollEvent(&event)) handleEvent(event);
    if (reply_.end) break;

    ImGui_ImplOpenGL2_NewFrame();
    ImGui_ImplSDL2_NewFrame();
    if (script) {
      feedScript(*script, frame);
      ImGuiIO& io = ImGui::GetIO();
      io.MousePos = scriptMouse_;
      io.MouseDown[0] = scriptButton_;
      io.MouseDown[1] = io.MouseDown[2] = false;
    }
    ImGui::NewFrame();
    drawControls();
    ImGui::Render();
    const ImGuiIO& io = ImGui::GetIO();
    glViewport(0, 0, static_cast<int>(io.DisplaySize.x), static_cast<int>(io.DisplaySize.y));
    glClearColor(0.83f, 0.82f, 0.78f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    ImGui_ImplOpenGL2_RenderDrawData(ImGui::GetDrawData());
    SDL_GL_SwapWindow(window_);
  }
  return reply_.result;
}

}  // namespace

int runSettingsDialog(const std::string& greeting, const DialogProcedure& procedure,
                      const std::vector<DialogInput>* script) {
  DialogWindow dialog(greeting, procedure);
  if (!dialog.open()) return -1;
  return dialog.run(script);
}

}  // namespace platform
