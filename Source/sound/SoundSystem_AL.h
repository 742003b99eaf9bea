// SoundSystem_AL: the sound system on OpenAL with ALUT. ALUT starts in the constructor (it opens
// the default audio device) and ends in Shutdown. Every loaded sound owns one OpenAL source
// (SoundFile_AL); SoundLoader_AL hands each new source to AddSource, and volume, mute, pause and
// stop then act on every source in that list. Volume and mute work by capping each source's
// maximum gain, so a sound's own gain is never touched.
//
// Settings: section "Sound", keys "Mute" (bool, False) and "BufferedVolume" (float, 1.0), read
// once at construction; the volume is not clamped when read and never written back.
//
// Owned by the program entry, fifth System in the frame. Without an audio device the constructor
// logs one "ALUT Error: " line and the system stays, silent: no sound ever loads, so every play
// only logs that the sound does not exist.
//
// Threads: every operation is for the main thread, except AddSource and AudioScope, which the
// loader uses on whichever thread loads a sound (often the resource thread).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "sound/BasicSoundSystem.h"

namespace CorvaneEngine {

class SoundFile_AL;

class SoundSystem_AL : public BasicSoundSystem {
 public:
  // Declares and reads the settings and starts ALUT.
  SoundSystem_AL();
  // Frees the list; the sources themselves belong to the sound resources.
  ~SoundSystem_AL() override;

  // Ends ALUT. Sound resources destroyed later leave their (already gone) OpenAL objects alone.
  void Shutdown() override;
  void Update(double seconds) override;

  void PlaySound(const char* name, bool loop) override;
  void PlaySoundAt(const char* name, float x, float y, float z, bool loop) override;
  float GetVolume() override;
  float GetBufferedVolume() override;
  SharedString GetSupportedTypes() override;
  bool IsMuted() override;
  bool ReservedQuery() override;
  void SetPaused(bool pause) override;
  // While muted the volume is only stored: it takes effect when muting ends.
  void SetVolume(float volume) override;
  void SetMuted(bool mute) override;
  void StopAll() override;
  void ReservedOperation(float value, double seconds) override;

  // Appends the source of a newly loaded sound to the list of the live sound system (if any).
  // Any thread.
  static void AddSource(uint32_t source);
  // How many sources the list holds.
  size_t SourceCount();

  // Keeps ALUT from starting or ending while it lives, and names the ALUT run that is current
  // (0: ALUT is not running). A loader holds one for the whole load, so Shutdown on the main
  // thread waits for a load under way on the resource thread instead of pulling the context
  // from under it. Any thread; never nest two on one thread.
  class AudioScope {
   public:
    AudioScope();
    ~AudioScope();
    AudioScope(const AudioScope&) = delete;
    AudioScope& operator=(const AudioScope&) = delete;
    uint32_t Session() const { return session; }

   private:
    uint32_t session;
  };
  // The current ALUT run, 0 when ALUT is not running. Runs are numbered from 1 and never
  // reused, so an OpenAL name from an earlier run is never taken for one of the current run.
  static uint32_t CurrentSession();

  static SoundSystem_AL* instance;

 private:
  // The named sound, or null after the "Resource Error: " line.
  SoundFile_AL* FindSound(const char* name);
  // Starts the source, then places it (when `position` is given), sets its looping and, when
  // muted, caps it to silence.
  void Start(uint32_t source, const float* position, bool loop);
  // Sets the maximum gain of every source in the list.
  void CapAll(float gain);

  float volume;
  bool muted;
  std::vector<uint32_t> sources;  // guarded by the list lock in SoundSystem_AL.cpp
};

}  // namespace CorvaneEngine
