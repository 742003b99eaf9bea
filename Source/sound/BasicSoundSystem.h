// BasicSoundSystem: the portable face of the sound system. Game code plays sounds by their bare
// file name ("winsound.wav") through BasicSoundSystem::instance; volume, mute, pause and stop act
// on every loaded sound at once. SoundSystem_AL is the one implementation; the program entry owns
// it.
//
// The operations after the System ones keep a fixed order, three of them without a use in this
// engine (ReservedQuery, ReservedOperation, BufferedReservedOperation): they stay in their places
// so that the order of the others never moves.
//
// Threads: main thread only.
#pragma once

#include "core/System.h"
#include "objects/SharedString.h"

namespace CorvaneEngine {

class BasicSoundSystem : public System {
 public:
  BasicSoundSystem() { instance = this; }
  ~BasicSoundSystem() override { instance = nullptr; }

  // Plays the sound loaded from the file `name` (a bare file name such as "winsound.wav").
  virtual void Play(const char* name, bool loop) { PlaySound(name, loop); }
  // The same, placed at (x, y, z).
  virtual void Play(const char* name, float x, float y, float z, bool loop) {
    PlaySoundAt(name, x, y, z, loop);
  }
  virtual void PlaySound(const char* name, bool loop) = 0;
  virtual void PlaySoundAt(const char* name, float x, float y, float z, bool loop) = 0;
  virtual float GetVolume() = 0;
  virtual float GetBufferedVolume() = 0;
  // A readable list of the sound file types the audio library can decode.
  virtual SharedString GetSupportedTypes() = 0;
  virtual bool IsMuted() = 0;
  virtual bool ReservedQuery() = 0;
  // Pauses every sound, or resumes exactly the sounds that are paused.
  virtual void SetPaused(bool pause) = 0;
  // Clamps the volume to 0.0 .. 1.0 and applies it to every sound.
  virtual void SetVolume(float volume) = 0;
  virtual void SetMuted(bool mute) = 0;
  virtual void SetBufferedVolume(float volume) { SetVolume(volume); }
  virtual void StopAll() = 0;
  virtual void ReservedOperation(float value, double seconds) = 0;
  virtual void BufferedReservedOperation(float value, double seconds) {
    ReservedOperation(value, seconds);
  }

  static BasicSoundSystem* instance;
};

}  // namespace CorvaneEngine
