#include "exchange/xml/expat_parser.h"

#include <windows.h>

#include <cstdint>

// Expat's accounting of entity expansion, which stops a small file from
// expanding into gigabytes ("billion laughs"), comes with XML_DTD.
#ifndef XML_DTD
#error "Expat must be built with XML_DTD (cmake/expat.cmake)"
#endif

namespace zt {

namespace {

// Not a secret in the cryptographic sense, but unknown to whoever wrote the
// file: enough that its names cannot be chosen to collide in Expat's hash
// tables. Never zero, which would make Expat draw a salt of its own.
unsigned long HashSalt() {
    LARGE_INTEGER counter = {};
    QueryPerformanceCounter(&counter);
    const unsigned long local = 0;
    unsigned long salt = GetTickCount() ^ counter.LowPart ^ (static_cast<unsigned long>(counter.HighPart) << 16) ^
                         (GetCurrentProcessId() << 8) ^ static_cast<unsigned long>(reinterpret_cast<uintptr_t>(&local));
    return salt != 0 ? salt : 0x5A17u;
}

}  // namespace

XML_Parser NewXmlParser(const XML_Memory_Handling_Suite* memory) {
    XML_Parser parser = XML_ParserCreate_MM(nullptr, memory, nullptr);
    if (parser != nullptr) XML_SetHashSalt(parser, HashSalt());
    return parser;
}

}  // namespace zt
