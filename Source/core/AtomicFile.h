// AtomicFile: writing whole files so that a failure never costs the data already on disk.
//
// A file that the engine rewrites (the settings) is written under a unique temporary name in its
// own folder, flushed to disk and only then renamed over the old one, so a full disk, a file-size
// limit or a folder the game may not write leaves the old file exactly as it was. Copies that must
// never replace anything (a damaged settings file kept for the user) take the first free name.
//
// Threads: any thread; nothing is shared.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <string>

namespace CorvaneEngine {

// Replaces the content of `path` with `size` bytes at `data`, all or nothing. A symbolic link is
// followed: its target gets the new content and the link stays. The old file's permissions (and,
// where allowed, its owner) carry over to the new one; a new file gets 0666 less the umask. Only
// a regular file is ever replaced. Answers false with the reason (the system's text, prefixed by
// the step when that helps) and removes the temporary file on any failure.
bool ReplaceFileAtomically(const char* path, const char* data, size_t size, std::string* reason);

// Writes the bytes to a new file named `base`, or `base`.1, `base`.2, ... when that exists,
// never replacing an existing one, with the permissions `mode` (less the umask). Answers the name
// chosen in `chosen`, or false with the reason; a partly written copy is removed again.
bool WriteFileUnderFreeName(const std::string& base, const char* data, size_t size, mode_t mode,
                            std::string* chosen, std::string* reason);

}  // namespace CorvaneEngine
