// SoundFile_AL: a loaded sound, an OpenAL buffer holding the decoded samples and the one OpenAL
// source that plays it. Made by SoundLoader_AL, owned by the ResourceManager until the end of the
// program; the sound system plays it through `source`.
//
// It is usually destroyed after the sound system has ended ALUT. Its OpenAL objects went with
// that audio context, so it then deletes nothing: `session` tells whether the ALUT run that made
// them is still the current one.
//
// Threads: built on the thread that loads it; used and destroyed on the main thread.
#pragma once

#include <cstdint>

#include "resources/Resource.h"

namespace CorvaneEngine {

class SoundFile_AL : public Resource {
 public:
  SoundFile_AL() = default;
  // Deletes the source, then the buffer, while the ALUT run that made them still runs.
  ~SoundFile_AL() override;

  uint32_t buffer = 0;   // OpenAL buffer name; 0 until decoding succeeded
  uint32_t source = 0;   // OpenAL source name, bound to buffer
  uint32_t session = 0;  // the ALUT run (SoundSystem_AL::CurrentSession) the names belong to
};

}  // namespace CorvaneEngine
