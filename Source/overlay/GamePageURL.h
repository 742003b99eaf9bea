// GamePageURL: tells whether a page's URL names a file of the game's own folder, the only pages
// that may talk to the game. The file URL is taken apart as the browser reads it (percent-escapes
// decoded, query and fragment dropped), then the path is made canonical by the file system
// (`..`, `.`, repeated slashes and symbolic links resolved), and it must lie below the canonical
// working directory. Anything else (the web, data:, about:, an error page, a file that does not
// exist, a path that escapes the folder through `..` or a link) is not a game page.
//
// Threads: any (reads the working directory at each call).
#pragma once

#include <string>

namespace CorvaneEngine {

// The canonical path of the file a file URL names ("" when it is not a local file URL, or the
// file does not exist).
std::string CanonicalFilePath(const std::string& url);

// Whether the URL is a file below the working directory.
bool IsGamePageURL(const std::string& url);

}  // namespace CorvaneEngine
