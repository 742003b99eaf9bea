// PageURL: the file URL of one of the game's pages in the working directory, for the browser
// overlay. The directory's bytes are percent-encoded, so a working directory with spaces, '#',
// '%' or non-ASCII names still gives a URL that names exactly that file.
//
// Threads: any; PageURL reads the process's working directory at the moment of the call.
#pragma once

#include "objects/SharedString.h"

// "file://" + the percent-encoded absolute `directory` + `page` (a name that starts with '/',
// such as "/default.html", encoded the same way).
CorvaneEngine::SharedString FileURL(const char* directory, const char* page);
// FileURL of the current working directory.
CorvaneEngine::SharedString PageURL(const char* page);
