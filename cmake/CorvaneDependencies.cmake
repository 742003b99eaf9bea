# The libraries the engine links, as imported targets (PkgConfig::CORVANE_*, OpenGL::OpenGL,
# OpenGL::GLX, Threads::Threads). Used by the engine's build and by its installed package, so
# that a game finds exactly what the engine was built with.
find_package(PkgConfig REQUIRED)
find_package(Threads REQUIRED)
find_package(OpenGL REQUIRED COMPONENTS OpenGL GLX)
pkg_check_modules(CORVANE_SDL REQUIRED IMPORTED_TARGET sdl SDL_image)
pkg_check_modules(CORVANE_GLEW REQUIRED IMPORTED_TARGET glew glu)
pkg_check_modules(CORVANE_AUDIO REQUIRED IMPORTED_TARGET openal freealut)
pkg_check_modules(CORVANE_TINYXML2 REQUIRED IMPORTED_TARGET tinyxml2)
pkg_check_modules(CORVANE_PNG REQUIRED IMPORTED_TARGET libpng libdeflate)
pkg_check_modules(CORVANE_X11 REQUIRED IMPORTED_TARGET x11)
