// Expat parsers for the plug-in's XML readers.
#pragma once

#include <expat.h>

namespace zt {

// A new Expat parser (the document names its encoding; UTF-8 when it does
// not) whose hash salt is set here, from the clock, the performance counter,
// the process and the stack's address, rather than by Expat's own source of
// randomness; its memory from `memory` when given. Null when memory is
// short. XML_ParserFree ends it.
XML_Parser NewXmlParser(const XML_Memory_Handling_Suite* memory = nullptr);

}  // namespace zt
