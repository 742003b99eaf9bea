// PageURL: the file URL of one of the game's pages in the working directory, for the browser
// overlay, percent-encoded as FileURL does it.
//
// Threads: any; PageURL reads the process's working directory at the moment of the call.
#pragma once

#include "objects/SharedString.h"

// CorvaneEngine::FileURL of the current working directory.
CorvaneEngine::SharedString PageURL(const char* page);
