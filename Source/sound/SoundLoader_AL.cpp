#include "sound/SoundLoader_AL.h"

#include <AL/al.h>
#include <AL/alut.h>

#include <climits>
#include <ostream>
#include <string>

#include "core/OutputStream.h"
#include "core/RegularFile.h"
#include "resources/ResourceRequest.h"
#include "sound/SoundFile_AL.h"
#include "sound/SoundSystem_AL.h"

namespace CorvaneEngine {

bool SoundLoader_AL::SupportsExtension(const SharedString& extension) const {
  if (extension == ".wav") return true;
  Log << "Sound Loading Error: " << extension.CStr()
      << " is not a supported file extension for sound files." << std::endl;
  return false;
}

Resource* SoundLoader_AL::Load(const ResourceRequest& request) {
  // The engine reads the file and ALUT decodes it from memory: ALUT would open any path itself and
  // wait on a FIFO for ever, holding up the resource thread and the destruction that joins it.
  std::string bytes, reason;
  if (!ReadRegularFile(request.path.CStr(), bytes, &reason) || bytes.size() > INT_MAX) {
    if (reason.empty()) reason = "too large";
    Log << "Sound Loading Error: can not read \"" << request.path.CStr() << "\": " << reason
        << std::endl;
    return nullptr;
  }

  // ALUT may not end while the file is decoded and its OpenAL objects are made.
  SoundSystem_AL::AudioScope scope;
  SoundFile_AL* sound = new SoundFile_AL();
  sound->session = scope.Session();

  sound->buffer = alutCreateBufferFromFileImage(bytes.data(), static_cast<ALsizei>(bytes.size()));
  if (sound->buffer == 0) {
    ALenum error = alutGetError();
    Log << "ALUT Error: " << error << " - " << alutGetErrorString(error) << ": \""
        << request.path.CStr() << "\"" << std::endl;
    delete sound;
    return nullptr;
  }

  // The error state belongs to the context that both threads share: drop whatever an earlier
  // call left there, so that only this load's own failures fail it.
  alGetError();
  alGenSources(1, &sound->source);
  switch (alGetError()) {
    case AL_INVALID_VALUE:
    case AL_OUT_OF_MEMORY:
      Log << "AL Error: There is not enough memory to generate an AL source." << std::endl;
      sound->source = 0;
      delete sound;
      return nullptr;
    case AL_INVALID_OPERATION:
      Log << "AL Error: There is not a valid context to generate an AL source from." << std::endl;
      sound->source = 0;
      delete sound;
      return nullptr;
    default:
      break;
  }

  alSourcei(sound->source, AL_BUFFER, static_cast<ALint>(sound->buffer));
  const char* failure = nullptr;
  switch (alGetError()) {
    case AL_INVALID_NAME:
      failure = "AL Error: The specified source name is not valid.";
      break;
    case AL_INVALID_ENUM:
      failure = "AL Error: The specified ALenum is not valid.";
      break;
    case AL_INVALID_VALUE:
      failure = "AL Error: The value given to alSourcei is out of range.";
      break;
    case AL_INVALID_OPERATION:
      failure = "AL Error: There is no current AL context.";
      break;
    default:
      break;
  }
  if (failure != nullptr) {
    Log << failure << std::endl;
    delete sound;  // deletes the source, then the buffer
    return nullptr;
  }

  SoundSystem_AL::AddSource(sound->source);
  return sound;
}

}  // namespace CorvaneEngine
