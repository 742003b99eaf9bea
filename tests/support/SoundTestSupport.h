// Helpers of the sound suites: WAV files, an OpenAL Soft configuration for the test's process,
// and an engine with the sound system, its maker and a "./sound" folder, built as the program
// entry builds them.
#pragma once

#include <AL/alut.h>
#include <stdlib.h>

#include <cmath>
#include <fstream>

#include "TestSupport.h"
#include "core/Engine.h"
#include "core/ProgramEntry.h"
#include "resources/ResourceManager.h"
#include "sound/SoundFile_AL.h"
#include "sound/SoundLoader_AL.h"
#include "sound/SoundSystem_AL.h"

namespace SoundTest {
using namespace CorvaneEngine;
constexpr int kRate = 44100;

// A mono 16-bit PCM WAV file holding a 440 Hz tone.
inline std::string ToneWav(double seconds, double amplitude) {
  std::string file;
  auto put = [&file](uint32_t value, int bytes) {
    while (bytes-- > 0) file.push_back(char(value & 0xFF)), value >>= 8;
  };
  const uint32_t count = uint32_t(seconds * kRate), size = count * 2;
  file += "RIFF", put(36 + size, 4), file += "WAVEfmt ", put(16, 4), put(1, 2), put(1, 2);
  put(kRate, 4), put(kRate * 2, 4), put(2, 2), put(16, 2), file += "data", put(size, 4);
  for (uint32_t i = 0; i < count; ++i)
    put(uint16_t(std::lround(amplitude * 32767.0 * std::sin(2.0 * M_PI * 440.0 * i / kRate))), 2);
  return file;
}

// Configures OpenAL Soft for this process (it reads the file once, at its first call: call this
// before ALUT starts) and returns the path of the wave backend's recording, `recording` in a folder
// kept for the whole program. The wave backend without a file has no device at all.
inline std::filesystem::path UseBackend(const char* driver, const std::string& recording = "") {
  static const CorvaneTest::ScratchDir dir("openal");
  const auto file = recording.empty() ? "" : dir.Path() / recording;
  std::ofstream(dir.Path() / "alsoft.conf")
      << "[general]\ndrivers=" << driver << "\nchannels=mono\nsample-type=int16\nfrequency=44100\n"
      << "dither=false\noutput-limiter=false\n[wave]\nfile=" << file.string() << "\n";
  setenv("ALSOFT_CONF", (dir.Path() / "alsoft.conf").c_str(), 1);
  setenv("CORVANE_ERROR_BOX", "0", 1);
  return file;
}

// Waits until the resource thread has settled the file on `status`; nobody asked for it.
inline bool Settled(const char* name, ResourceStatus status) {
  return CorvaneTest::WaitUntil(
      [=] { return ResourceManager::instance->GetStatus(NameHash(name)) == status; });
}
// ALUT's log line for a file it could not load.
inline std::string AlutError(int error, const std::filesystem::path& path) {
  return "ALUT Error: " + std::to_string(error) + " - " + alutGetErrorString(error) + ": \"" +
         path.string() + "\"";
}
inline SoundFile_AL* Sound(const char* name) {
  return dynamic_cast<SoundFile_AL*>(ResourceManager::instance->Get(NameHash(name)));
}

struct SoundRig {
  SoundRig(const std::string& name, const std::vector<std::pair<std::string, std::string>>& sounds,
           const std::string& soundSettings = "")
      : dir(name), cd(dir.Path()) {
    for (const auto& [file, contents] : sounds) dir.Write("sound/" + file, contents);
    if (!soundSettings.empty())  // else a first run
      dir.Write("config.xml",
                "<Amber_Lantern_Grove><Sound>" + soundSettings + "</Sound></Amber_Lantern_Grove>");
    engine = new Engine();
    engine->AddSystem(system = new SoundSystem_AL());
    ResourceManager::instance->RegisterMaker(new SoundLoader_AL(false), NameHash("Sound"));
    ResourceManager::instance->AddDirectory("./sound", NameHash("Sound"));
  }
  ~SoundRig() { TearDown(); }
  // As at the end of the program: ALUT ends (closing the recording), then the system goes,
  // then the engine with the sound resources.
  void TearDown() {
    if (engine != nullptr) TearDownProgram(engine), engine = nullptr;
  }

  CorvaneTest::ScratchDir dir;
  CorvaneTest::ChangeDir cd;
  Engine* engine = nullptr;
  SoundSystem_AL* system = nullptr;
};

}  // namespace SoundTest
