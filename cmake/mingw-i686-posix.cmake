# The test programs' compilers: the posix thread model, since GoogleTest needs
# std::mutex, which GCC 12's win32 model lacks. The plug-in they load is built
# in a tree of its own with mingw-i686.cmake (the release build).
include(${CMAKE_CURRENT_LIST_DIR}/mingw-i686.cmake)
set(CMAKE_C_COMPILER i686-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER i686-w64-mingw32-g++-posix)
