// What playing a sound by name costs on top of starting its OpenAL source: PlaySound hashes the
// name, finds the loaded resource under the resource manager's lock, checks its class and then
// starts the source and sets its looping. The reference, alSourcePlay on the same source, runs in
// the same process against the same context (OpenAL Soft's null backend: no sound card needed).
#include <AL/al.h>
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "core/Engine.h"
#include "resources/NameHash.h"
#include "resources/ResourceManager.h"
#include "sound/SoundFile_AL.h"
#include "sound/SoundLoader_AL.h"
#include "sound/SoundSystem_AL.h"

using namespace CorvaneEngine;

namespace {

SoundSystem_AL* soundSystem = nullptr;
uint32_t toneSource = 0;

// A tenth of a second of mono 16-bit silence: the content does not matter here.
std::string SilentWav() {
  const uint32_t bytes = 4410 * 2;
  std::string file = "RIFF";
  auto put = [&file](uint32_t value, int count) {
    for (int i = 0; i < count; ++i) file.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
  };
  put(36 + bytes, 4);
  file += "WAVEfmt ";
  put(16, 4), put(1, 2), put(1, 2), put(44100, 4), put(88200, 4), put(2, 2), put(16, 2);
  file += "data";
  put(bytes, 4);
  return file + std::string(bytes, '\0');
}

void PlaySoundByName(benchmark::State& state) {
  for (auto _ : state) soundSystem->PlaySound("tone.wav", false);
}
BENCHMARK(PlaySoundByName);

void AlSourcePlayDirectly(benchmark::State& state) {
  for (auto _ : state) alSourcePlay(toneSource);
}
BENCHMARK(AlSourcePlayDirectly);

}  // namespace

int main(int argc, char** argv) {
  const std::filesystem::path dir =
      std::filesystem::temp_directory_path() / ("corvane-playsound-" + std::to_string(getpid()));
  std::filesystem::create_directories(dir / "sound");
  std::ofstream(dir / "sound" / "tone.wav", std::ios::binary) << SilentWav();
  std::ofstream(dir / "alsoft.conf") << "[general]\ndrivers=null\n";
  setenv("ALSOFT_CONF", (dir / "alsoft.conf").c_str(), 1);
  const std::filesystem::path previous = std::filesystem::current_path();
  std::filesystem::current_path(dir);

  Engine* engine = new Engine();
  soundSystem = new SoundSystem_AL();
  engine->AddSystem(soundSystem);
  ResourceManager::instance->RegisterMaker(new SoundLoader_AL(false), NameHash("Sound"));
  ResourceManager::instance->AddDirectory("./sound", NameHash("Sound"));
  auto* tone = dynamic_cast<SoundFile_AL*>(ResourceManager::instance->Get(NameHash("tone.wav")));
  int status = 1;
  if (tone == nullptr) {
    std::fprintf(stderr, "tone.wav did not load: no audio device?\n");
  } else {
    toneSource = tone->source;
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    status = 0;
  }

  soundSystem->Shutdown();
  delete soundSystem;
  delete engine;
  std::filesystem::current_path(previous);
  std::filesystem::remove_all(dir);
  return status;
}
