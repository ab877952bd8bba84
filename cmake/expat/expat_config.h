/* How Expat is built into the plug-in (cmake/expat.cmake): for 32-bit
   Windows on x86, little-endian, with nothing but what Windows XP has. */
#ifndef EXPAT_CONFIG_H
#define EXPAT_CONFIG_H 1

#define BYTEORDER 1234
#define HAVE_STDINT_H 1
#define HAVE_STDLIB_H 1
#define HAVE_STRING_H 1
#define HAVE_MEMMOVE 1

/* Bytes kept before the parse point for XML_GetInputContext. */
#define XML_CONTEXT_BYTES 1024

/* XML_DTD (with its protection against entity expansion, the "billion laughs")
   and XML_STATIC come from the target, for the plug-in's code too: expat.h
   declares part of the API by them. No namespaces (XML_NS): the program XML
   has none. The hash salt is set by the plug-in for every parser
   (exchange/xml/expat_parser.cpp); Expat's own source of randomness on
   Windows is rand_s, which MinGW-w64's runtime looks up at run time and,
   where msvcrt.dll lacks it (Windows XP), replaces with RtlGenRandom: no
   import that Windows XP lacks. */

#endif
