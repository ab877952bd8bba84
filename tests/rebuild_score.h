// Two builds of one program as DLL files, and the score of bookmarks carried
// from one to the other: build A and build B mapped by section at bases of
// their own (relocations applied), their functions from an nm listing,
// bookmarks on every function's first instruction and on the 5th of every
// function of at least 10, and each placement in B judged against B's
// symbols. Shared by the native accuracy program (bench/rebuilds/) and the
// programs that carry the bookmarks through the plug-in. Plain C++ on the
// core's pattern code.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "core/code_pattern.h"
#include "core/module_view.h"
#include "core/pattern_search.h"
#include "core/pe_image.h"

namespace rebuild {

struct Function {
    std::string name;
    uint32_t rva;
    uint32_t size;  // to the next symbol or the end of its code range
};

struct Build {
    std::vector<uint8_t> image;  // as mapped at view.base, relocations applied
    std::vector<uint32_t> relocations;
    zt::PeFacts facts{};         // of the image as linked (its own image base)
    zt::ModuleView view{};
    std::vector<Function> functions;
    std::map<std::string, size_t> byName;  // names that occur once
};

// The DLL file mapped at base; then its function symbols from an nm listing.
// Build is not copyable once loaded (view points into it): load in place.
bool LoadDll(const std::string& path, uint32_t base, Build* build);
bool LoadSymbols(const std::string& path, Build* build);

// Offsets of the instruction starts of a function.
std::vector<uint32_t> Instructions(const Build& build, const Function& function);

struct Bookmark {
    size_t function;  // in A
    bool fifth;
    uint32_t offset;  // from the function's start
};

// A function's first instruction, and its 5th when it has at least 10.
std::vector<Bookmark> ChooseBookmarks(const Build& a);
inline uint32_t AddressIn(const Build& a, const Bookmark& k) {
    return a.view.base + a.functions[k.function].rva + k.offset;
}

// What became of a bookmark in B.
struct Outcome {
    enum Kind { kNoPattern, kNotFound, kAmbiguous, kNotPlaced, kPlaced } kind;  // kNotPlaced: one of the two, not told
    uint32_t address;      // when placed
    bool uniqueAtExport;   // its pattern was unique in A
};

// The core's own answer: patterns built in A, searched in B in one pass.
std::vector<Outcome> SearchDirectly(const Build& a, const Build& b, const std::vector<Bookmark>& marks,
                                    std::vector<zt::CodePattern>* patterns = nullptr);

// The same, then with the twins placed by order (core/twin_order.h): every
// place of each pattern found more than once (up to kMostTwins) in B, and
// every place of it in A, as the export records them. byOrder[i]: placed so.
// Then, for those still ambiguous, by their callers (core/call_sites.h) as
// the plug-in does: byCallers[i].
std::vector<Outcome> PlaceTwinsDirectly(const Build& a, const Build& b, const std::vector<Bookmark>& marks,
                                        std::vector<bool>* byOrder = nullptr, std::vector<bool>* byCallers = nullptr);

struct Score {
    size_t total = 0, correct = 0, wrong = 0, notFound = 0, ambiguous = 0, notPlaced = 0, noPattern = 0;
    size_t unchanged = 0, unchangedCorrect = 0, wrongSameFunction = 0, noCounterpart = 0, notUniqueAtExport = 0;
    void Add(const Score& other);
};

struct Verdict {
    enum Kind { kCorrect, kWrong, kNotPlaced } kind;
    uint32_t truth;   // where it belongs in B; 0 when nowhere (changed, or no counterpart)
    bool unchanged;   // its function is unchanged apart from wildcard bytes
};

// Scores each bookmark's outcome against B's symbols into `first` and
// `fifth` (first-instruction and 5th-instruction bookmarks):
// correct: a first-instruction bookmark on the first instruction of B's
// function of the same name; a 5th-instruction one on the same place of B's
// function (the same offset when the function is unchanged, else the
// instruction it lines up with in the longest common run of instructions);
// wrong: placed anywhere else; not placed: the rest.
std::vector<Verdict> ScoreBookmarks(const Build& a, const Build& b, const std::vector<Bookmark>& marks,
                                    const std::vector<Outcome>& outcomes, Score* first, Score* fifth);

void Print(const char* what, const Score& score);
size_t CodeBytes(const Build& build);

}  // namespace rebuild
