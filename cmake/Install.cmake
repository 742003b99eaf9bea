# What `cmake --install` puts into the prefix:
#   lib/libcorvane.a, lib/libcorvane_main.a     the engine and its main()
#   bin/corvane-playtest                         the headless playtest tool
#   include/corvane/<folder>/<Class>.h           the public headers
#   lib/cmake/Corvane/                           find_package(Corvane <version> CONFIG): the
#                                                targets Corvane::corvane, Corvane::main and
#                                                Corvane::playtest
#   lib/pkgconfig/corvane.pc, corvane-main.pc    the same for pkg-config
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

# ---- Public headers: everything under Source/ but the engine's internals ----
# Internal: the browser protocol layer and the page features behind Browser, the platform
# stand-ins, the allocator and the mesh file readers. A public header must not include one of
# these (the install test compiles every installed header on its own).
file(GLOB_RECURSE CORVANE_ALL_HEADERS CONFIGURE_DEPENDS RELATIVE ${PROJECT_SOURCE_DIR}/Source
     ${PROJECT_SOURCE_DIR}/Source/*.h)
file(GLOB CORVANE_OVERLAY_HEADERS CONFIGURE_DEPENDS RELATIVE ${PROJECT_SOURCE_DIR}/Source
     ${PROJECT_SOURCE_DIR}/Source/overlay/*.h)
# Of the overlay, a game sees Browser and what its interface names.
list(REMOVE_ITEM CORVANE_OVERLAY_HEADERS overlay/Browser.h overlay/ClickCounter.h
     overlay/FileURL.h overlay/JavaScriptDialog.h overlay/PageReply.h)
set(CORVANE_INTERNAL_HEADERS ${CORVANE_OVERLAY_HEADERS}
    core/AtomicFile.h core/Clock.h core/ErrorBox.h core/LargeBlock.h core/QuitSignal.h
    core/RegularFile.h core/RepeatedReports.h
    presentation/Cursor_X11.h presentation/WindowSystem_SDL.h
    resources/KmdlReader.h resources/ObjReader.h)
set(CORVANE_PUBLIC_HEADERS ${CORVANE_ALL_HEADERS})
list(REMOVE_ITEM CORVANE_PUBLIC_HEADERS ${CORVANE_INTERNAL_HEADERS})

# Inside the tree headers include each other as "core/Engine.h"; installed, as
# <corvane/core/Engine.h>, so that a game needs only the prefix's include folder.
install(CODE "
  set(CORVANE_HEADER_SOURCE \"${PROJECT_SOURCE_DIR}/Source\")
  set(CORVANE_HEADER_STAGING \"${PROJECT_BINARY_DIR}/installed-headers\")
  set(CORVANE_HEADER_DESTINATION \"${CMAKE_INSTALL_INCLUDEDIR}/corvane\")
  set(CORVANE_PUBLIC_HEADERS \"${CORVANE_PUBLIC_HEADERS}\")
  include(\"${PROJECT_SOURCE_DIR}/cmake/InstallHeaders.cmake\")")

# ---- Libraries, tool and the CMake package ----
install(TARGETS corvane corvane_main corvane-playtest EXPORT CorvaneTargets
        ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
        RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
set(CORVANE_PACKAGE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/Corvane)
install(EXPORT CorvaneTargets NAMESPACE Corvane:: DESTINATION ${CORVANE_PACKAGE_DIR})
configure_package_config_file(cmake/CorvaneConfig.cmake.in
                              ${PROJECT_BINARY_DIR}/CorvaneConfig.cmake
                              INSTALL_DESTINATION ${CORVANE_PACKAGE_DIR})
# Before 1.0 a minor version may change the interface.
write_basic_package_version_file(${PROJECT_BINARY_DIR}/CorvaneConfigVersion.cmake
                                 COMPATIBILITY SameMinorVersion)
install(FILES ${PROJECT_BINARY_DIR}/CorvaneConfig.cmake
              ${PROJECT_BINARY_DIR}/CorvaneConfigVersion.cmake
              cmake/CorvaneDependencies.cmake
        DESTINATION ${CORVANE_PACKAGE_DIR})

# ---- pkg-config ----
# The .pc files find the prefix from their own place, so that the installed tree may move.
file(RELATIVE_PATH CORVANE_PC_TO_PREFIX "/${CMAKE_INSTALL_LIBDIR}/pkgconfig" "/")
configure_file(cmake/corvane.pc.in ${PROJECT_BINARY_DIR}/corvane.pc @ONLY)
configure_file(cmake/corvane-main.pc.in ${PROJECT_BINARY_DIR}/corvane-main.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/corvane.pc ${PROJECT_BINARY_DIR}/corvane-main.pc
        DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
