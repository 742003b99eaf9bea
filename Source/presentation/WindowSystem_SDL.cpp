#include "presentation/WindowSystem_SDL.h"

#include <SDL.h>
#include <SDL_image.h>
#include <SDL_syswm.h>

#include <cstdio>
#include <cstdlib>
#include <ostream>

#include "core/ConfigData.h"
#include "core/Engine.h"
#include "core/GameIdentity.h"
#include "core/OutputStream.h"
#include "overlay/Browser.h"
#include "presentation/BasicGraphicsSystem.h"
#include "presentation/BasicKeyboard.h"

namespace CorvaneEngine {

WindowSystem_SDL* WindowSystem_SDL::instance = nullptr;

namespace {

int SetGLAttribute(int attribute, int value) {
  return SDL_GL_SetAttribute(static_cast<SDL_GLattr>(attribute), value);
}

const char* const WindowSection = "Window";

}  // namespace

int (*WindowSystem_SDL::glAttributeSetter)(int, int) = &SetGLAttribute;
SDL_Surface* (*WindowSystem_SDL::videoModeSetter)(int, int, int, uint32_t) = &SDL_SetVideoMode;

WindowSystem_SDL::WindowSystem_SDL() : caption(CurrentGameIdentity().caption.c_str()) {
  // Without a display SDL 1.2 falls back to drivers such as a text-mode one that would take over
  // the terminal; the game only works on X11, so ask for it unless the user chose a driver.
  setenv("SDL_VIDEODRIVER", "x11", 0);
  if (SDL_Init(SDL_INIT_VIDEO) < 0) {
    Log << "Window failed to initialize" << std::endl;
    return;
  }
  videoStarted = true;
  // Typed characters arrive in the unicode field of key-down events (the X11 stand-in for the
  // native character messages).
  SDL_EnableUNICODE(1);

  const SDL_VideoInfo* desktop = SDL_GetVideoInfo();
  int desktopWidth = desktop != nullptr ? desktop->current_w : 0;
  int desktopHeight = desktop != nullptr ? desktop->current_h : 0;

  SDL_Rect** list = SDL_ListModes(nullptr, SDL_FULLSCREEN | SDL_OPENGL);
  if (list == reinterpret_cast<SDL_Rect**>(-1)) {
    // "Every size": the desktop size is the one size that is certainly a whole-screen mode.
    modes.emplace_back(static_cast<float>(desktopWidth), static_cast<float>(desktopHeight));
  } else if (list != nullptr) {
    for (int i = 0; list[i] != nullptr; ++i) {
      modes.emplace_back(static_cast<float>(list[i]->w), static_cast<float>(list[i]->h));
    }
  }

  ConfigData* config = ConfigData::instance;
  config->SetDefault(WindowSection, "Width", desktopWidth);
  config->SetDefault(WindowSection, "Height", desktopHeight);
  config->SetDefault(WindowSection, "Fullscreen", true);
  config->SetDefault(WindowSection, "Unsupported", 0);
  width = config->Get<int>(WindowSection, "Width");
  height = config->Get<int>(WindowSection, "Height");
  fullscreen = config->Get<bool>(WindowSection, "Fullscreen");
  unsupported = static_cast<int8_t>(config->Get<int>(WindowSection, "Unsupported") & 0xFF);
  instance = this;
}

WindowSystem_SDL::~WindowSystem_SDL() {
  if (instance == this) instance = nullptr;
}

void WindowSystem_SDL::Initialize() {
  if (!videoStarted) {
    const char* display = std::getenv("DISPLAY");
    if (display == nullptr || *display == '\0') {
      GiveUp("no display", "set DISPLAY to a running X server (for instance DISPLAY=:0)");
    } else {
      GiveUp(SDL_GetError(), "check that the X server named by DISPLAY is running and reachable");
    }
    return;
  }
  if (!ApplyVideoMode(true)) return;
  for (size_t i = 0; i < modes.size(); ++i) {
    if (static_cast<int32_t>(modes[i].first) == width &&
        static_cast<int32_t>(modes[i].second) == height) {
      currentMode = static_cast<int32_t>(i);
      break;
    }
  }
  appliedMode = currentMode;
}

bool WindowSystem_SDL::ApplyVideoMode(bool initial) {
  // The check asks about the mode about to be set: a size too large for the screen is refused
  // only as a fullscreen mode, so the flags must be the new mode's.
  uint32_t flags = fullscreen ? (SDL_OPENGL | SDL_FULLSCREEN) : SDL_OPENGL;
  if (SDL_VideoModeOK(width, height, 32, flags) == 0) {
    Log << "Window Settings are not valid" << std::endl;
    if (initial) {
      char what[160];
      std::snprintf(what, sizeof what, "the configured size %dx%d%s is not available", width,
                    height, fullscreen ? " (fullscreen)" : "");
      GiveUp(what,
             "change Width, Height or Fullscreen in the Window section of ./config.xml, or "
             "delete the file to use the whole screen");
    } else {
      KeepAppliedSettings();
    }
    return false;
  }

  BasicGraphicsSystem* graphics = initial ? nullptr : BasicGraphicsSystem::instance;
  if (graphics != nullptr) graphics->BeforeVideoModeChange();

  videoFlags = flags;
  if (!(unsupported & NoDoubleBuffer) && glAttributeSetter(SDL_GL_DOUBLEBUFFER, 1) == -1) {
    unsupported |= NoDoubleBuffer;
  }
  if (!(unsupported & NoAcceleratedVisual) &&
      glAttributeSetter(SDL_GL_ACCELERATED_VISUAL, 1) == -1) {
    unsupported |= NoAcceleratedVisual;
  }
  screen = videoModeSetter(width, height, 32, videoFlags);
  const bool refused = screen == nullptr;
  if (refused) {
    Log << "ERROR: SDL_SetVideoMode: " << width << "x" << height
        << (fullscreen ? " fullscreen" : "") << ": " << SDL_GetError() << std::endl;
    if (!initial) screen = RestoreAppliedMode(videoFlags);
  }
  // Also without any window: this is what gives back the resource manager's lock, taken by
  // BeforeVideoModeChange. Without a current context the GL calls in it do nothing.
  if (graphics != nullptr) graphics->AfterVideoModeChange();
  if (screen == nullptr) {
    // SDL found no OpenGL visual for the mode, and the old context is gone too: nothing can be
    // drawn or closed any more.
    GiveUp(SDL_GetError(),
           "the display offers no OpenGL window of this kind; check the X "
           "server's GLX support or choose another size in ./config.xml");
    if (Engine::instance != nullptr) Engine::instance->running = false;
    return false;
  }

  if (icon != nullptr) SDL_WM_SetIcon(icon, nullptr);
  SDL_WM_SetCaption(caption.CStr(), caption.CStr());
  pointer.Forget();  // a new mode may come with a new window and SDL's own cursor on it

  ConfigData* config = ConfigData::instance;
  config->Set(WindowSection, "Fullscreen", fullscreen);
  config->Set(WindowSection, "Width", static_cast<int>(width));
  config->Set(WindowSection, "Height", static_cast<int>(height));
  config->Set(WindowSection, "Unsupported", static_cast<int>(unsupported));
  appliedWidth = width;
  appliedHeight = height;
  appliedFullscreen = fullscreen;
  appliedMode = currentMode;
  return !refused;
}

SDL_Surface* WindowSystem_SDL::RestoreAppliedMode(uint32_t& flags) {
  KeepAppliedSettings();
  flags = fullscreen ? (SDL_OPENGL | SDL_FULLSCREEN) : SDL_OPENGL;
  SDL_Surface* restored = videoModeSetter(width, height, 32, flags);
  if (restored != nullptr) {
    Log << "WARNING: Window: back to " << width << "x" << height
        << (fullscreen ? " fullscreen" : "") << std::endl;
  }
  return restored;
}

// Keeps describing the window that is really there.
void WindowSystem_SDL::KeepAppliedSettings() {
  width = appliedWidth;
  height = appliedHeight;
  fullscreen = appliedFullscreen;
  currentMode = appliedMode;
}

void WindowSystem_SDL::GiveUp(const char* what, const char* remedy) {
  std::fprintf(stderr, "%s: cannot show the game window: %s: %s.\n", caption.CStr(), what, remedy);
  std::fflush(stderr);
  if (Engine::instance != nullptr && Engine::instance->exitCode == 0) {
    Engine::instance->exitCode = 1;
  }
}

void WindowSystem_SDL::Shutdown() {
  if (icon != nullptr) SDL_FreeSurface(icon);
  icon = nullptr;
  // SDL owns the video surface and ignores this; kept so that the pair is always freed.
  if (screen != nullptr) SDL_FreeSurface(screen);
  screen = nullptr;
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  pointer.Release(videoStarted && SDL_GetWMInfo(&info) > 0 ? info.info.x11.display : nullptr);
  SDL_Quit();
  videoStarted = false;
}

void WindowSystem_SDL::Update(double) {
  SDL_Event event;
  while (SDL_PollEvent(&event)) HandleEvent(&event);

  // The keyboard still holds the previous frame's update: the input system runs after us. The
  // real keys count, also while the game's keys are withheld for the page.
  BasicKeyboard* keyboard = BasicKeyboard::instance;
  if (keyboard != nullptr &&
      (keyboard->IsPhysicallyDown(KeyLeftAlt) || keyboard->IsPhysicallyDown(KeyRightAlt)) &&
      keyboard->IsPhysicallyPressed(KeyF4) && Engine::instance != nullptr) {
    Engine::instance->running = false;
  }
  ShowPointerShape();
}

void WindowSystem_SDL::SetPointerShape(PointerShape shape) {
  pointerShape = shape;
  ShowPointerShape();
}

void WindowSystem_SDL::ShowPointerShape() {
  if (pointerShape == PointerShape::Unset || screen == nullptr) return;
  if (SDL_ShowCursor(SDL_QUERY) == SDL_DISABLE) {
    pointer.Forget();  // SDL's empty cursor is on the window now, and its own arrow after it
    return;
  }
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (SDL_GetWMInfo(&info) <= 0) return;
  info.info.x11.lock_func();
  pointer.Show(info.info.x11.display, info.info.x11.window, pointerShape);
  info.info.x11.unlock_func();
}

void WindowSystem_SDL::HandleEvent(const void* data) {
  const SDL_Event& event = *static_cast<const SDL_Event*>(data);
  Browser* browser = Browser::instance;
  switch (event.type) {
    case SDL_KEYDOWN:
      if (browser != nullptr) {
        // The character typed goes with its key, so the page types it once, on the key-down.
        const SDL_keysym& key = event.key.keysym;
        browser->KeyDown(key.sym, key.mod, key.unicode, key.scancode);
      }
      break;
    case SDL_KEYUP:
      if (browser != nullptr) {
        const SDL_keysym& key = event.key.keysym;
        browser->KeyUp(key.sym, key.mod, key.scancode);
      }
      break;
    case SDL_MOUSEMOTION:
      if (browser != nullptr) browser->MouseMove(event.motion.x, event.motion.y);
      break;
    case SDL_MOUSEBUTTONDOWN:
      if (browser != nullptr)
        browser->MouseDown(event.button.button, event.button.x, event.button.y);
      break;
    case SDL_MOUSEBUTTONUP:
      if (browser != nullptr) {
        browser->MouseUp(event.button.x, event.button.y, event.button.button);
        // A drag that ended outside the window: the leave was held back until now.
        if (!(SDL_GetAppState() & SDL_APPMOUSEFOCUS)) browser->MouseLeave();
      }
      break;
    case SDL_ACTIVEEVENT:
      if (browser != nullptr && (event.active.state & SDL_APPMOUSEFOCUS) && !event.active.gain) {
        browser->MouseLeave();
      }
      break;
    case SDL_QUIT:
      if (Engine::instance != nullptr) Engine::instance->running = false;
      break;
    default:
      break;
  }
}

void WindowSystem_SDL::ApplySettings() {
  if (!videoStarted) return;
  ApplyVideoMode(false);
}

uintptr_t WindowSystem_SDL::GetWindowHandle() {
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (SDL_GetWMInfo(&info) <= 0) return 0;
  return static_cast<uintptr_t>(info.info.x11.window);
}

void WindowSystem_SDL::SelectMode(int32_t index, bool fullscreen) {
  width = static_cast<int32_t>(modes[index].first);
  height = static_cast<int32_t>(modes[index].second);
  this->fullscreen = fullscreen;
  currentMode = index;
}

void WindowSystem_SDL::SetIcon(const char* path) {
  if (icon != nullptr) SDL_FreeSurface(icon);
  icon = IMG_Load(path);
  if (icon != nullptr) SDL_WM_SetIcon(icon, nullptr);
}

void WindowSystem_SDL::SwapBuffers() {
  SDL_GL_SwapBuffers();
}

}  // namespace CorvaneEngine
