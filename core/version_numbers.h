// The plug-in's version and copyright as preprocessor macros, the one place
// they are set: core/version.h builds the texts of the code from them, and the
// resource script (res/zentrilo.rc) its version resource. Plain macros only, so
// that windres can read this file.
#pragma once

#define ZT_VERSION_MAJOR 1
#define ZT_VERSION_MINOR 9

#define ZT_STRINGIFY_(x) #x
#define ZT_STRINGIFY(x) ZT_STRINGIFY_(x)
#define ZT_VERSION_TEXT ZT_STRINGIFY(ZT_VERSION_MAJOR) "." ZT_STRINGIFY(ZT_VERSION_MINOR)

#define ZT_COPYRIGHT "Copyright (c) 2026 the Zentrilo developers. MIT License."
