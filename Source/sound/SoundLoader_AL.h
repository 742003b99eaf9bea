// SoundLoader_AL: the maker of sound resources. It accepts ".wav" files (exact case), reads each
// into memory, lets ALUT decode it into an OpenAL buffer, binds the buffer to a new source and
// hands the source to the sound system's list. Registered by the program entry under the type id
// of "Sound", owned by the ResourceManager.
//
// Threads: SupportsExtension runs on the thread that adds a folder (the main thread). Load needs
// no OpenGL, so it runs on the resource thread or on the main thread, whichever takes the file
// first; both share the one audio context that ALUT made current.
#pragma once

#include "resources/ResourceMaker.h"

namespace CorvaneEngine {

class SoundLoader_AL : public ResourceMaker {
 public:
  explicit SoundLoader_AL(bool mainThreadOnly = false) : ResourceMaker(mainThreadOnly) {}

  // A SoundFile_AL, or null after one log line: "Sound Loading Error: " for a path that is not a
  // readable regular file (a FIFO, device or folder is never opened for reading), "ALUT Error: "
  // naming the file for one ALUT cannot decode, "AL Error: " when no source can be made for it.
  Resource* Load(const ResourceRequest& request) override;
  // True for ".wav" only; any other extension gets a "Sound Loading Error: " line.
  bool SupportsExtension(const SharedString& extension) const override;
};

}  // namespace CorvaneEngine
