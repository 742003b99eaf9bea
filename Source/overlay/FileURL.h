// FileURL: the file URL of a page in a folder, as the browser overlay loads it. The folder's
// bytes are percent-encoded, so a folder with spaces, '#', '%' or non-ASCII names still gives a
// URL that names exactly that file.
//
// Threads: any.
#pragma once

#include "objects/SharedString.h"

namespace CorvaneEngine {

// "file://" + the percent-encoded absolute `directory` + `page` (a name that starts with '/',
// such as "/default.html", encoded the same way).
SharedString FileURL(const char* directory, const char* page);

}  // namespace CorvaneEngine
