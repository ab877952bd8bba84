// One pass of RapidJSON's SAX reader over an open file, for the readers of
// JSON files (the bookmark list, the x64dbg database): the reader's stack in
// the C runtime's memory, iterative (no recursion whatever the nesting),
// UTF-8 checked, the file through a fixed buffer; and the fault a pass ends
// with, as the text of a status message.
#pragma once

#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <new>

#include <rapidjson/reader.h>

#include "exchange/json/json_file_stream.h"

namespace zt {

// The reader's own stack (texts, nesting) from the C runtime; a failed
// allocation becomes std::bad_alloc, which the importers catch.
struct ReaderAllocator {
    static const bool kNeedFree = true;
    void* Malloc(size_t size) {
        if (size == 0) return nullptr;
        void* block = std::malloc(size);
        if (!block) throw std::bad_alloc();
        return block;
    }
    void* Realloc(void* block, size_t, size_t size) {
        if (!block) return Malloc(size);
        if (size == 0) {
            std::free(block);
            return nullptr;
        }
        void* grown = std::realloc(block, size);
        if (!grown) throw std::bad_alloc();
        return grown;
    }
    static void Free(void* block) { std::free(block); }
};

using JsonReader = rapidjson::GenericReader<rapidjson::UTF8<>, rapidjson::UTF8<>, ReaderAllocator>;
// Numbers reach the handler as their text (JsonEvents reads them), so that
// one out of the reader's range does not end the pass.
constexpr unsigned kJsonParseFlags =
    rapidjson::kParseIterativeFlag | rapidjson::kParseValidateEncodingFlag | rapidjson::kParseNumbersAsStringsFlag;
constexpr size_t kJsonFaultSize = 160;

// Why a pass ended early, in fault (empty when the handler stopped it, having
// said why itself); true when it read the whole file.
bool JsonPassEnded(const JsonFileStream& stream, const rapidjson::ParseResult& result,
                   char (&fault)[kJsonFaultSize]);

// Reads the whole file from where it stands through handler, whose Fail
// (printf-like, keeping the first fault) hears of a fault the file holds.
// False when the pass did not read the whole file; readFailed then says
// whether the file could not be read.
template <typename Handler>
bool ReadJsonFile(std::FILE* file, Handler& handler, LongTexts longTexts, bool& readFailed) {
    char buffer[16384];
    JsonFileStream stream(file, buffer, sizeof buffer, longTexts);
    ReaderAllocator allocator;
    JsonReader reader(&allocator, 1024);
    handler.ReadFrom(stream);
    const rapidjson::ParseResult result = reader.Parse<kJsonParseFlags>(stream, handler);
    char fault[kJsonFaultSize];
    readFailed = stream.readFailed();
    if (JsonPassEnded(stream, result, fault)) return true;
    if (fault[0]) handler.Fail("%s", fault);
    return false;
}

}  // namespace zt
