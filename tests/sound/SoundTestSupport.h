// Helpers of the sound suites: WAV files to load, OpenAL Soft configurations for the test's own
// process, measurements on a recording made by the wave backend, and a small engine with the
// sound system, its maker and a "./sound" folder.
#pragma once

#include <AL/al.h>
#include <stdlib.h>

#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "TestSupport.h"
#include "core/Engine.h"
#include "resources/NameHash.h"
#include "resources/ResourceManager.h"
#include "sound/SoundLoader_AL.h"
#include "sound/SoundSystem_AL.h"

// ThreadSanitizer cannot see the lock-free hand-over between OpenAL Soft's mixer thread and its
// callers (the library is not instrumented), so races whose stacks run through the audio
// libraries are theirs, not ours. Each test program includes this header exactly once.
extern "C" const char* __tsan_default_suppressions() {
  return "race:libopenal.so.1\nrace:libalut.so.0\n";
}

namespace SoundTest {

constexpr int kRate = 44100;

inline void PutLE(std::string& out, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

// A mono 16-bit PCM WAV file holding a sine tone.
inline std::string ToneWav(double seconds, double amplitude, double hertz = 440.0) {
  const uint32_t count = static_cast<uint32_t>(seconds * kRate);
  std::string data;
  for (uint32_t i = 0; i < count; ++i) {
    double value = amplitude * std::sin(2.0 * M_PI * hertz * i / kRate);
    PutLE(data, static_cast<uint16_t>(static_cast<int16_t>(std::lround(value * 32767.0))), 2);
  }
  std::string file = "RIFF";
  PutLE(file, 36 + static_cast<uint32_t>(data.size()), 4);
  file += "WAVEfmt ";
  PutLE(file, 16, 4);
  PutLE(file, 1, 2);  // PCM
  PutLE(file, 1, 2);  // mono
  PutLE(file, kRate, 4);
  PutLE(file, kRate * 2, 4);
  PutLE(file, 2, 2);
  PutLE(file, 16, 2);
  file += "data";
  PutLE(file, static_cast<uint32_t>(data.size()), 4);
  return file + data;
}

// Points OpenAL Soft at a configuration of its own. It reads the file once per process, at its
// first call, so this must run before anything starts ALUT. An empty `recording` leaves the wave
// backend without a file: then there is no audio device at all.
inline void ConfigureOpenAL(const std::filesystem::path& configFile, const std::string& driver,
                            const std::string& recording = "") {
  std::ofstream(configFile) << "[general]\ndrivers=" << driver
                            << "\nchannels=mono\nsample-type=int16\nfrequency=44100\n"
                               "dither=false\noutput-limiter=false\n[wave]\nfile="
                            << recording << "\n";
  setenv("ALSOFT_CONF", configFile.c_str(), 1);
  setenv("CORVANE_ERROR_BOX", "0", 1);
}

// The samples of a mono 16-bit recording, scaled to -1 .. 1.
inline std::vector<float> ReadRecording(const std::filesystem::path& file) {
  const std::string bytes = CorvaneTest::ReadFile(file);
  std::vector<float> samples;
  auto le = [&](size_t at, int count) {
    uint32_t value = 0;
    for (int i = 0; i < count; ++i) value |= uint32_t(uint8_t(bytes[at + i])) << (8 * i);
    return value;
  };
  if (bytes.size() < 12 || bytes.compare(0, 4, "RIFF") != 0) return samples;
  for (size_t at = 12; at + 8 <= bytes.size();) {
    const uint32_t size = le(at + 4, 4);
    if (bytes.compare(at, 4, "fmt ") == 0) {
      if (le(at + 10, 2) != 1 || le(at + 22, 2) != 16) return samples;  // mono 16-bit only
    } else if (bytes.compare(at, 4, "data") == 0) {
      const size_t end = std::min(bytes.size(), at + 8 + size);
      for (size_t i = at + 8; i + 2 <= end; i += 2) {
        samples.push_back(static_cast<int16_t>(le(i, 2)) / 32768.0f);
      }
      return samples;
    }
    at += 8 + size + (size & 1);
  }
  return samples;
}

// What a recording holds: the stretch from the first to the last sample above a threshold, the
// peak, and how many samples rose above it at all.
struct Heard {
  double firstSecond = -1.0;
  double seconds = 0.0;  // length of the audible stretch
  float peak = 0.0f;
  size_t loudSamples = 0;
};

inline Heard Measure(const std::vector<float>& samples, float threshold = 0.02f) {
  Heard heard;
  size_t first = 0, last = 0;
  for (size_t i = 0; i < samples.size(); ++i) {
    const float level = std::fabs(samples[i]);
    heard.peak = std::max(heard.peak, level);
    if (level <= threshold) continue;
    if (heard.loudSamples++ == 0) first = i;
    last = i;
  }
  if (heard.loudSamples > 0) {
    heard.firstSecond = double(first) / kRate;
    heard.seconds = double(last - first + 1) / kRate;
  }
  return heard;
}

inline ALint SourceState(uint32_t source) {
  ALint state = 0;
  alGetSourcei(source, AL_SOURCE_STATE, &state);
  return state;
}

// Waits (without a time limit that a test depends on) until the condition holds or 20 s pass.
template <typename Condition>
bool WaitFor(Condition condition) {
  const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (!condition()) {
    if (std::chrono::steady_clock::now() > giveUp) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

// An engine in a scratch folder with the sound system and maker, as the program entry builds
// them, and the files of `sounds` in "./sound" added under the "Sound" type id.
class SoundRig {
 public:
  SoundRig(const std::string& name, const std::vector<std::pair<std::string, std::string>>& sounds,
           const std::string& configXml = "")
      : dir(name), prepared(WriteAll(dir, sounds, configXml)), cd(dir.Path()) {
    engine = new CorvaneEngine::Engine();
    system = new CorvaneEngine::SoundSystem_AL();
    engine->AddSystem(system);
    CorvaneEngine::ResourceManager::instance->RegisterMaker(
        new CorvaneEngine::SoundLoader_AL(false), CorvaneEngine::NameHash("Sound"));
    CorvaneEngine::ResourceManager::instance->AddDirectory("./sound",
                                                           CorvaneEngine::NameHash("Sound"));
  }
  ~SoundRig() { TearDown(); }

  // The tear-down of the program: Shutdown ends ALUT (and closes the recording), then the system
  // goes, then the engine with its resources.
  void TearDown() {
    if (engine == nullptr) return;
    system->Shutdown();
    delete system;
    delete engine;
    engine = nullptr;
  }

  // Waits until the resource thread has loaded the file; the test itself never asks for it.
  bool WaitUntilLoaded(const char* file) {
    return WaitFor([&] {
      return CorvaneEngine::ResourceManager::instance->GetStatus(CorvaneEngine::NameHash(file)) ==
             CorvaneEngine::ResourceStatus::Loaded;
    });
  }

  CorvaneTest::ScratchDir dir;
  int prepared;  // the files are written before the folder becomes the working directory
  CorvaneTest::ChangeDir cd;
  CorvaneEngine::Engine* engine = nullptr;
  CorvaneEngine::SoundSystem_AL* system = nullptr;

 private:
  static int WriteAll(const CorvaneTest::ScratchDir& dir,
                      const std::vector<std::pair<std::string, std::string>>& sounds,
                      const std::string& configXml) {
    std::filesystem::create_directories(dir.Path() / "sound");
    for (const auto& [file, contents] : sounds) dir.Write("sound/" + file, contents);
    if (!configXml.empty()) dir.Write("config.xml", configXml);
    return 0;
  }
};

}  // namespace SoundTest
