#include "sound/SoundFile_AL.h"

#include <AL/al.h>

#include "sound/SoundSystem_AL.h"

namespace CorvaneEngine {

SoundFile_AL::~SoundFile_AL() {
  if (buffer == 0) return;
  // After ALUT has ended (or been started again) these names mean nothing, or someone else's
  // objects. The source stays in the sound system's list either way.
  if (session == 0 || session != SoundSystem_AL::CurrentSession()) return;
  if (source != 0) alDeleteSources(1, &source);
  alDeleteBuffers(1, &buffer);
}

}  // namespace CorvaneEngine
