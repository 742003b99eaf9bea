#include "sound/SoundSystem_AL.h"

#include <AL/al.h>
#include <AL/alut.h>

#include <atomic>
#include <mutex>
#include <ostream>
#include <shared_mutex>

#include "core/ConfigData.h"
#include "core/OutputStream.h"
#include "resources/LockGuard.h"
#include "resources/Mutex.h"
#include "resources/NameHash.h"
#include "resources/ResourceManager.h"
#include "sound/SoundFile_AL.h"

namespace CorvaneEngine {

SoundSystem_AL* SoundSystem_AL::instance = nullptr;

namespace {

// Guards `SoundSystem_AL::instance` as the loaders see it and the instance's source list. It is
// not a member because AddSource must find out, under it, whether a sound system still exists.
Mutex listLock;

// Writers: ALUT start and end (main thread). Readers: loads of sounds (any thread).
std::shared_mutex sessionLock;
std::atomic<uint32_t> currentSession{0};
uint32_t lastSession = 0;  // written under sessionLock only

void LogAlutError() {
  Log << "ALUT Error: " << alutGetErrorString(alutGetError()) << std::endl;
}

}  // namespace

SoundSystem_AL::AudioScope::AudioScope() {
  sessionLock.lock_shared();
  session = currentSession.load();
}

SoundSystem_AL::AudioScope::~AudioScope() {
  sessionLock.unlock_shared();
}

uint32_t SoundSystem_AL::CurrentSession() {
  return currentSession.load();
}

SoundSystem_AL::SoundSystem_AL() {
  ConfigData* config = ConfigData::instance;
  config->SetDefault("Sound", "Mute", false);
  config->SetDefault("Sound", "BufferedVolume", 1.0f);
  volume = config->Get<float>("Sound", "BufferedVolume");
  muted = config->Get<bool>("Sound", "Mute");

  {
    std::unique_lock<std::shared_mutex> guard(sessionLock);
    if (alutInit(nullptr, nullptr)) {
      currentSession = ++lastSession;
    } else {
      LogAlutError();
    }
  }

  LockGuard guard(listLock);
  instance = this;
}

SoundSystem_AL::~SoundSystem_AL() {
  LockGuard guard(listLock);
  sources.clear();
  sources.shrink_to_fit();
  instance = nullptr;
  // BasicSoundSystem::instance is cleared by the base destructor, right after this one.
}

void SoundSystem_AL::Shutdown() {
  std::unique_lock<std::shared_mutex> guard(sessionLock);
  if (!alutExit()) LogAlutError();
  currentSession = 0;
}

void SoundSystem_AL::Update(double) {}

SoundFile_AL* SoundSystem_AL::FindSound(const char* name) {
  if (name == nullptr) name = "";
  Resource* resource = ResourceManager::instance->Get(NameHash(name));
  SoundFile_AL* sound = dynamic_cast<SoundFile_AL*>(resource);
  if (sound == nullptr) Log << "Resource Error: " << name << " does not exist." << std::endl;
  return sound;
}

void SoundSystem_AL::Start(uint32_t source, const float* position, bool loop) {
  // A source loaded after muting still has its full cap; capping it before the start as well
  // keeps its first mixing period from reaching the speakers.
  if (muted) alSourcef(source, AL_MAX_GAIN, 0.0f);
  alSourcePlay(source);  // a source that is playing starts again from the beginning
  if (position != nullptr) alSource3f(source, AL_POSITION, position[0], position[1], position[2]);
  // Always set, so that a play without looping after one with looping does not loop.
  alSourcei(source, AL_LOOPING, loop ? AL_TRUE : AL_FALSE);
  if (muted) alSourcef(source, AL_MAX_GAIN, 0.0f);
}

void SoundSystem_AL::PlaySound(const char* name, bool loop) {
  SoundFile_AL* sound = FindSound(name);
  if (sound != nullptr) Start(sound->source, nullptr, loop);
}

void SoundSystem_AL::PlaySoundAt(const char* name, float x, float y, float z, bool loop) {
  SoundFile_AL* sound = FindSound(name);
  const float position[3] = {x, y, z};
  if (sound != nullptr) Start(sound->source, position, loop);
}

float SoundSystem_AL::GetVolume() {
  return volume;
}

float SoundSystem_AL::GetBufferedVolume() {
  return volume;
}

SharedString SoundSystem_AL::GetSupportedTypes() {
  // ALUT answers null while it is not running.
  const char* bufferTypes = alutGetMIMETypes(ALUT_LOADER_BUFFER);
  const char* memoryTypes = alutGetMIMETypes(ALUT_LOADER_MEMORY);
  SharedString text("ALUT BUFFER TYPES: ");
  text.Append(bufferTypes != nullptr ? bufferTypes : "");
  text.Append("\nALUT MEMORY TYPES: ");
  text.Append(memoryTypes != nullptr ? memoryTypes : "");
  return text;
}

bool SoundSystem_AL::IsMuted() {
  return muted;
}

bool SoundSystem_AL::ReservedQuery() {
  return false;
}

void SoundSystem_AL::SetPaused(bool pause) {
  LockGuard guard(listLock);
  for (uint32_t source : sources) {
    if (pause) {
      alSourcePause(source);
      continue;
    }
    // Only paused sources resume: stopped ones and ones never played stay quiet.
    ALint state = AL_INITIAL;
    alGetSourcei(source, AL_SOURCE_STATE, &state);
    if (state == AL_PAUSED) alSourcePlay(source);
  }
}

void SoundSystem_AL::SetVolume(float newVolume) {
  if (newVolume > 1.0f) {
    newVolume = 1.0f;
  } else if (newVolume < 0.0f) {
    newVolume = 0.0f;
  }
  volume = newVolume;
  // A muted system stays silent; SetMuted(false) applies the stored volume.
  if (!muted) CapAll(volume);
}

void SoundSystem_AL::SetMuted(bool mute) {
  muted = mute;
  CapAll(mute ? 0.0f : volume);
}

void SoundSystem_AL::StopAll() {
  LockGuard guard(listLock);
  for (uint32_t source : sources) alSourceStop(source);
}

void SoundSystem_AL::ReservedOperation(float, double) {}

void SoundSystem_AL::CapAll(float gain) {
  LockGuard guard(listLock);
  for (uint32_t source : sources) alSourcef(source, AL_MAX_GAIN, gain);
}

void SoundSystem_AL::AddSource(uint32_t source) {
  LockGuard guard(listLock);
  if (instance != nullptr) instance->sources.push_back(source);
}

size_t SoundSystem_AL::SourceCount() {
  LockGuard guard(listLock);
  return sources.size();
}

}  // namespace CorvaneEngine
