// RegularFile: opening and reading files that the engine's readers are given by name.
//
// Every reader of the engine (settings, object files, meshes, textures, sounds) goes through these
// so that a FIFO, a device or a directory in a file's place is refused at once instead of blocking
// the start-up or feeding a reader an endless stream. The open itself never blocks: it is made
// with O_NONBLOCK, checked with fstat, and the flag is cleared again on a regular file.
//
// Threads: any thread; nothing is shared.
#pragma once

#include <string>

namespace CorvaneEngine {

// A read-only descriptor (close-on-exec, blocking) for a regular file, or -1 with the reason in
// `reason` (the system's text, or "not a regular file").
int OpenRegularFile(const char* path, std::string* reason);

// The whole content of a regular file; false with the reason otherwise (also on a read error).
bool ReadRegularFile(const char* path, std::string& contents, std::string* reason);

}  // namespace CorvaneEngine
