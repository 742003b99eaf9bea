// The process entry: everything happens in RunProgram.
#include "core/ProgramEntry.h"

int main(int argc, char** argv) { return CorvaneEngine::RunProgram(argc, argv); }
