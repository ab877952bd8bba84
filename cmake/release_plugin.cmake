# The plug-in under test is the release build, made by a build tree of its own
# (release/ in this one) with the plug-in's compilers and flags, exactly as
# build.sh makes it. The target Zentrilo stands for its DLL here.
include(ExternalProject)
set(ZENTRILO_RELEASE_DIR ${CMAKE_BINARY_DIR}/release)
ExternalProject_Add(zentrilo_release
  SOURCE_DIR ${CMAKE_SOURCE_DIR}
  BINARY_DIR ${ZENTRILO_RELEASE_DIR}
  CMAKE_ARGS -DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE=${CMAKE_SOURCE_DIR}/cmake/mingw-i686.cmake
  BUILD_ALWAYS ON
  BUILD_BYPRODUCTS ${ZENTRILO_RELEASE_DIR}/Zentrilo.dll ${ZENTRILO_RELEASE_DIR}/Zentrilo.dll.debug
  INSTALL_COMMAND ""
  USES_TERMINAL_BUILD ON)
add_library(Zentrilo MODULE IMPORTED GLOBAL)
set_target_properties(Zentrilo PROPERTIES IMPORTED_LOCATION ${ZENTRILO_RELEASE_DIR}/Zentrilo.dll)
add_dependencies(Zentrilo zentrilo_release)
