// Two builds of one program as DLL files, and the score of bookmarks carried
// from one to the other: build A and build B mapped by section at bases of
// their own (relocations applied), their functions from an nm listing,
// bookmarks on every function's first instruction and on the 5th of every
// function of at least 10, and each placement in B judged against B's
// symbols, and, where the builds' source lines are known (DWARF line tables
// of a -g build of the same code, bench/rebuilds/line_table.py), against
// the source lines that the two releases have in common. Shared by the
// native accuracy program (bench/rebuilds/) and the programs that carry the
// bookmarks through the plug-in. Plain C++ on the core's pattern code.
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

// The source line of a range of code (RVAs, end excluded); file indexes
// Build::lineFiles.
struct LineRange {
    uint32_t begin, end;
    uint32_t file, line;
};

struct Build {
    std::vector<uint8_t> image;  // as mapped at view.base, relocations applied
    std::vector<uint32_t> relocations;
    zt::PeFacts facts{};         // of the image as linked (its own image base)
    zt::ModuleView view{};
    std::vector<Function> functions;
    std::map<std::string, size_t> byName;  // names that occur once
    std::vector<std::string> lineFiles;    // from LoadLines; empty when unknown
    std::vector<LineRange> lines;          // sorted by begin
};

// Which source lines of release A are unchanged in release B
// (bench/rebuilds/line_map.py): files the same in both, and runs of
// unchanged lines of the others.
struct LineMap {
    struct Run {
        uint32_t a, b, count;
    };
    std::map<std::string, bool> same;
    std::map<std::string, std::vector<Run>> runs;  // by path, sorted by a
    // Line `line` of file `path` of A in B; 0 when it changed or went.
    uint32_t Map(const std::string& path, uint32_t line) const;
};

// The DLL file mapped at base; then its function symbols from an nm listing.
// Build is not copyable once loaded (view points into it): load in place.
bool LoadDll(const std::string& path, uint32_t base, Build* build);
bool LoadSymbols(const std::string& path, Build* build);
// Its code's source lines, from line_table.py's output; and a pair's line map.
bool LoadLines(const std::string& path, Build* build);
bool LoadLineMap(const std::string& path, LineMap* map);

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
// the plug-in does: byCallers[i]; then by what their wildcards point to
// (core/pointer_targets.h): byTargets[i]; those still ambiguous that follow a
// placed neighbour of their routine (core/twin_follow.h): byFollowing[i].
// Then those not found, by aligning their routines' instructions between
// their placed neighbours (core/routine_align.h): byAlignment[i]. Before
// all these, a bookmark on a routine A exports that its pattern does not
// find once goes to the routine B exports under the same names:
// byExport[i].
std::vector<Outcome> PlaceTwinsDirectly(const Build& a, const Build& b, const std::vector<Bookmark>& marks,
                                        std::vector<bool>* byOrder = nullptr, std::vector<bool>* byCallers = nullptr,
                                        std::vector<bool>* byTargets = nullptr, std::vector<bool>* byFollowing = nullptr,
                                        std::vector<bool>* byAlignment = nullptr, std::vector<bool>* byExport = nullptr);

// Bookmarks in three classes: in a routine whose code is unchanged apart
// from wildcard bytes; in a changed routine with a correct place in B; in a
// changed routine without one (any placement is wrong).
struct Tally {
    size_t total = 0, correct = 0, wrong = 0, notFound = 0, ambiguous = 0, notPlaced = 0;
    // Wrong by the source lines, yet on the instruction that A's lines up
    // with in the longest common run of the routine's instructions (the
    // same bytes, addresses aside): the line rule is in doubt there.
    size_t wrongAligned = 0;
    void Add(const Tally& other);
};

struct Score {
    size_t total = 0, correct = 0, wrong = 0, notFound = 0, ambiguous = 0, notPlaced = 0, noPattern = 0;
    size_t unchanged = 0, unchangedCorrect = 0, wrongSameFunction = 0, noCounterpart = 0, notUniqueAtExport = 0;
    Tally same, kept, gone;  // by class
    // Of the bookmarks whose place is known from the code (unchanged
    // routines, entries of changed ones), how many the line rule puts there
    // too, and how many elsewhere (rather than nowhere).
    size_t lineChecked = 0, lineAgrees = 0, lineElsewhere = 0;
    void Add(const Score& other);
};

struct Verdict {
    enum Kind { kCorrect, kWrong, kNotPlaced } kind;
    enum Class { kSame, kKept, kGone } what;
    uint32_t truth;   // where it belongs in B; 0 when nowhere (changed, or no counterpart)
    bool unchanged;   // its function is unchanged apart from wildcard bytes
    bool aligned;     // wrong by the lines, yet where the routine's instructions line up (Tally::wrongAligned)
};

// Scores each bookmark's outcome against B's symbols into `first` and
// `fifth` (first-instruction and 5th-instruction bookmarks):
// correct: a first-instruction bookmark on the first instruction of B's
// function of the same name; a 5th-instruction one on the same place of B's
// function when the function is unchanged; in a changed function, with
// `lines` (and both builds' lines loaded), the instruction of the same rank
// among those of its source line in B's function when that line is
// unchanged, and nowhere when it changed or went; without, the instruction
// it lines up with in the longest common run of instructions;
// wrong: placed anywhere else; not placed: the rest.
std::vector<Verdict> ScoreBookmarks(const Build& a, const Build& b, const std::vector<Bookmark>& marks,
                                    const std::vector<Outcome>& outcomes, Score* first, Score* fifth,
                                    const LineMap* lines = nullptr);

void Print(const char* what, const Score& score);
// The three classes apart, one line each.
void PrintClasses(const Score& score);
size_t CodeBytes(const Build& build);

}  // namespace rebuild
