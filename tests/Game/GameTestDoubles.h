// Stand-ins for the three services the game's code calls, so that its rules can be checked
// frame by frame without a window, a browser or a sound card. The end-to-end suite runs the game
// against the real ones.
#pragma once

#include <string>
#include <vector>

#include "presentation/BasicKeyboard.h"
#include "overlay/Browser.h"
#include "sound/BasicSoundSystem.h"

// A keyboard whose space bar is held exactly while `spaceDown` is true.
class HeldKeys : public CorvaneEngine::BasicKeyboard {
 public:
  bool spaceDown = false;
  void Update() override {}
  bool IsDown(int32_t key) override { return key == CorvaneEngine::KeySpace && spaceDown; }
  bool IsReleased(int32_t) override { return false; }
  bool IsRepeat(int32_t) override { return false; }
  bool IsPressed(int32_t) override { return false; }
};

// A browser that remembers the URLs it was asked to load; it is Browser::instance while it lives.
class RecordingBrowser : public CorvaneEngine::Browser {
 public:
  RecordingBrowser() { instance = this; }
  ~RecordingBrowser() override { instance = nullptr; }
  void LoadURL(const char* url) override { urls.emplace_back(url); }
  std::vector<std::string> urls;
};

// A sound system that remembers what it was asked to play.
class RecordingSound : public CorvaneEngine::BasicSoundSystem {
 public:
  struct Played {
    std::string name;
    bool loop;
  };
  std::vector<Played> played;

  void Update(double) override {}
  void PlaySound(const char* name, bool loop) override { played.push_back({name, loop}); }
  void PlaySoundAt(const char* name, float, float, float, bool loop) override {
    played.push_back({name, loop});
  }
  float GetVolume() override { return 1.0f; }
  float GetBufferedVolume() override { return 1.0f; }
  CorvaneEngine::SharedString GetSupportedTypes() override { return ""; }
  bool IsMuted() override { return false; }
  bool ReservedQuery() override { return false; }
  void SetPaused(bool) override {}
  void SetVolume(float) override {}
  void SetMuted(bool) override {}
  void StopAll() override {}
  void ReservedOperation(float, double) override {}
};
