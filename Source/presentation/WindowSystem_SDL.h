// WindowSystem_SDL: the game window over SDL 1.2 (X11): the window and its OpenGL context at the
// configured size and mode, the caption and icon, the fullscreen mode list, and the event pump,
// which ends the game on a close request or Alt+F4 and hands key, character and mouse events to
// the browser overlay. The four Window settings are read at construction and written back after
// every mode it sets.
//
// Owned by the program entry (the first System added). Without a usable window the game cannot
// be seen or closed, so a failed start-up says why on standard error and sets the Engine's
// exitCode; the program entry then tears down instead of running the game. A mode refused at
// run time is logged and the window goes back to the mode it had; the graphics system is told
// after the change in every case, since that is what ends its hold on the resource lock.
//
// Threads: main thread only.
#pragma once

#include <cstdint>

#include "objects/SharedString.h"
#include "presentation/BasicWindowSystem.h"
#include "presentation/Cursor_X11.h"

struct SDL_Surface;

namespace CorvaneEngine {

class WindowSystem_SDL : public BasicWindowSystem {
 public:
  // Bits of `unsupported`: OpenGL attributes SDL refused once and that are never asked for again.
  enum UnsupportedBits : int8_t { NoDoubleBuffer = 2, NoAcceleratedVisual = 4 };

  WindowSystem_SDL();
  ~WindowSystem_SDL() override;

  void Initialize() override;            // opens the window at the configured size and mode
  void Shutdown() override;              // frees the icon and the surface and closes SDL
  void Update(double seconds) override;  // the event pump

  void ApplySettings() override;
  uintptr_t GetWindowHandle() override;  // the X11 Window of the drawing surface, or 0
  void SelectMode(int32_t index, bool fullscreen) override;
  void SetIcon(const char* path) override;
  void SwapBuffers() override;
  void SetPointerShape(PointerShape shape) override;

  // The call that asks SDL for an OpenGL attribute (SDL_GL_SetAttribute). SDL refuses attributes
  // only on some platforms; tests put a refusing stand-in here to follow the refused-bit path.
  static int (*glAttributeSetter)(int attribute, int value);
  // The call that sets a video mode (SDL_SetVideoMode). A display refuses a mode at run time only
  // rarely (no OpenGL visual for it); tests put a refusing stand-in here to follow that path.
  static SDL_Surface* (*videoModeSetter)(int width, int height, int bitsPerPixel, uint32_t flags);

  static WindowSystem_SDL* instance;

 private:
  // Sets the stored size and mode. Answers false when that mode was not set (at run time the
  // window then keeps, or gets back, the mode it had).
  bool ApplyVideoMode(bool initial);
  // At run time, after SDL refused the new mode (and dropped the old one with it): back to the
  // mode in effect before. Answers the surface, or null when even that is refused.
  SDL_Surface* RestoreAppliedMode(uint32_t& flags);
  void KeepAppliedSettings();
  void HandleEvent(const void* event);
  // Puts the wanted pointer shape on the window, unless the game hid the pointer: SDL then keeps
  // its empty cursor there, and the shape is put back once the pointer is shown again.
  void ShowPointerShape();
  // Start-up without a window: tells the user what went wrong and asks the program to end.
  void GiveUp(const char* what, const char* remedy);

  SDL_Surface* screen = nullptr;
  SDL_Surface* icon = nullptr;  // owned
  SharedString caption;
  uint32_t videoFlags = 0;
  int8_t unsupported = 0;
  bool videoStarted = false;  // SDL_Init of the video part succeeded
  // The mode in effect, to fall back on when a run-time change is refused.
  int32_t appliedWidth = 0;
  int32_t appliedHeight = 0;
  bool appliedFullscreen = false;
  int32_t appliedMode = -1;
  PointerShape pointerShape = PointerShape::Unset;
  Cursor_X11 pointer;
};

}  // namespace CorvaneEngine
