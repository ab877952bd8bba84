// accuracy A.dll A.symbols B.dll B.symbols [--lines A.lines B.lines A--B.linemap] [--speed]
//
// Loads two builds of one program (DLL files, mapped by section at two
// different bases with B's relocations applied), puts bookmarks in A on the
// first instruction of every function and on the 5th instruction of every
// function of at least 10, makes their patterns in A, searches them all in B
// in one pass, and scores each placement against B's symbols (the output of
// i686-w64-mingw32-nm; tests/rebuild_score.h); with --lines, bookmarks in
// changed routines against the source lines the two releases share (from
// line_table.py and line_map.py); then again with the twins placed by order
// and callers and the changed routines aligned, as the plug-in does (the
// "row:" line counts that). With --speed it also times
// searches of 1,000 to 10,000 patterns in 0.5 to 2 MB of code. A native
// program: the core's pattern code is plain C++. ZT_SHOW_WRONG=1 lists the
// wrong placements, ZT_SHOW_LOST=1 the unchanged functions' bookmarks not
// placed, ZT_SHOW_KEPT=1 the changed ones with a correct place not placed.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "core/code_pattern.h"
#include "core/code_signature.h"
#include "core/module_view.h"
#include "core/pattern_search.h"
#include "rebuild_score.h"

namespace {

using Clock = std::chrono::steady_clock;
using rebuild::Build;

double Seconds(Clock::time_point from) { return std::chrono::duration<double>(Clock::now() - from).count(); }

void SpeedRows(const Build& a, const Build& b) {
    // Patterns at every few instructions of A; code: B's code then A's, cut.
    std::vector<uint32_t> addresses;
    for (const rebuild::Function& f : a.functions) {
        for (uint32_t off : rebuild::Instructions(a, f)) addresses.push_back(a.view.base + f.rva + off);
    }
    const size_t most = 10000;
    std::vector<uint32_t> chosen;
    for (size_t i = 0; i < most; ++i) chosen.push_back(addresses[i * (addresses.size() / most)]);
    std::vector<zt::CodePattern> patterns(chosen.size());
    zt::BuildPatterns(a.view, chosen.data(), chosen.size(), patterns.data());

    std::vector<uint8_t> code;
    for (const Build* m : {&b, &a})
        for (size_t r = 0; r < m->facts.codeCount; ++r)
            code.insert(code.end(), m->image.begin() + m->facts.code[r].begin, m->image.begin() + m->facts.code[r].end);
    while (code.size() < (2u << 20)) code.insert(code.end(), code.begin(), code.begin() + std::min<size_t>(code.size(), (2u << 20) - code.size()));
    std::printf("\nspeed: seconds to search N patterns in M MB of code (one pass each; best of 3)\n%-10s", "patterns");
    const double sizes[] = {0.5, 1, 2};
    for (double mb : sizes) std::printf("  %6.1f MB", mb);
    std::printf("\n");
    for (size_t n : {1000, 2000, 5000, 10000}) {
        std::printf("%-10zu", n);
        for (double mb : sizes) {
            zt::CodeRange range{0, static_cast<uint32_t>(mb * (1u << 20))};
            zt::ModuleView view{b.view.base, range.end, code.data(), nullptr, nullptr, 0, &range, 1};
            std::vector<zt::PatternMatch> results(n);
            double best = 1e9;
            for (int round = 0; round < 3; ++round) {
                const auto start = Clock::now();
                zt::SearchPatterns(view, patterns.data(), n, results.data());
                best = std::min(best, Seconds(start));
            }
            std::printf("  %9.4f", best);
        }
        std::printf("\n");
    }
}

// Everything the plug-in does, one step after another: the search, exported
// routines by their names, twins by order, by callers, by what their
// wildcards point to and following a placed neighbour, then the changed
// routines aligned. Returns the classes' score.
rebuild::Score Everything(const Build& a, const Build& b, const std::vector<rebuild::Bookmark>& marks,
                          const rebuild::LineMap* lines, double* seconds) {
    std::vector<bool> byExport, byOrder, byCallers, byTargets, byFollowing, byAlignment;
    const auto start = Clock::now();
    const std::vector<rebuild::Outcome> outcomes =
        rebuild::PlaceTwinsDirectly(a, b, marks, &byOrder, &byCallers, &byTargets, &byFollowing, &byAlignment, &byExport);
    *seconds = Seconds(start);
    rebuild::Score first, fifth, all;
    const std::vector<rebuild::Verdict> verdicts = rebuild::ScoreBookmarks(a, b, marks, outcomes, &first, &fifth, lines);
    struct Step {
        const char* name;
        const std::vector<bool>& by;
        size_t placed, right, wrong;
    } steps[] = {{"by export name", byExport, 0, 0, 0},
                 {"by order", byOrder, 0, 0, 0},
                 {"by callers", byCallers, 0, 0, 0},
                 {"by pointer targets", byTargets, 0, 0, 0},
                 {"following a neighbour", byFollowing, 0, 0, 0},
                 {"by alignment", byAlignment, 0, 0, 0}};
    static const char* const kClass[] = {"unchanged", "changed, line kept", "changed, line gone"};
    for (size_t i = 0; i < marks.size(); ++i) {
        const rebuild::Verdict& v = verdicts[i];
        const char* how = "";
        for (Step& step : steps) {
            if (!step.by[i]) continue;
            ++step.placed;
            step.right += v.kind == rebuild::Verdict::kCorrect;
            step.wrong += v.kind == rebuild::Verdict::kWrong;
            how = step.name;
        }
        const bool showWrong = v.kind == rebuild::Verdict::kWrong && std::getenv("ZT_SHOW_WRONG");
        const bool showKept = v.kind == rebuild::Verdict::kNotPlaced && v.what == rebuild::Verdict::kKept &&
                              std::getenv("ZT_SHOW_KEPT");
        const bool showLost = v.kind == rebuild::Verdict::kNotPlaced && v.what == rebuild::Verdict::kSame &&
                              std::getenv("ZT_SHOW_LOST");
        if (showWrong || showKept || showLost)
            std::printf("%s (all): %s%s +%u -> %08X (truth %08X; %s%s) %s\n", showWrong ? "wrong" : "lost",
                        a.functions[marks[i].function].name.c_str(), marks[i].fifth ? " 5th" : "", marks[i].offset,
                        outcomes[i].address, v.truth, kClass[v.what], v.aligned ? ", where the instructions line up" : "",
                        how);
    }
    all.Add(first);
    all.Add(fifth);
    std::printf("\nwith every step (%.3f s):", *seconds);
    for (const Step& step : steps)
        std::printf("%s %zu %s (%zu right, %zu wrong)", &step == steps ? "" : ",", step.placed, step.name, step.right,
                    step.wrong);
    std::printf("\n");
    rebuild::PrintClasses(all);
    return all;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 5) {
        std::fprintf(stderr, "usage: %s A.dll A.symbols B.dll B.symbols [--lines A.lines B.lines A--B.linemap] "
                             "[--speed]\n", argv[0]);
        return 2;
    }
    Build a, b;
    if (!rebuild::LoadDll(argv[1], 0x10000000, &a) || !rebuild::LoadDll(argv[3], 0x23450000, &b) ||
        !rebuild::LoadSymbols(argv[2], &a) || !rebuild::LoadSymbols(argv[4], &b)) {
        std::fprintf(stderr, "cannot load the builds\n");
        return 1;
    }
    bool speed = false;
    rebuild::LineMap lineMap;
    const rebuild::LineMap* lines = nullptr;
    for (int i = 5; i < argc; ++i) {
        if (std::strcmp(argv[i], "--speed") == 0) {
            speed = true;
        } else if (std::strcmp(argv[i], "--lines") == 0 && i + 3 < argc) {
            if (!rebuild::LoadLines(argv[i + 1], &a) || !rebuild::LoadLines(argv[i + 2], &b) ||
                !rebuild::LoadLineMap(argv[i + 3], &lineMap)) {
                std::fprintf(stderr, "cannot load the source lines\n");
                return 1;
            }
            lines = &lineMap;
            i += 3;
        }
    }
    const std::vector<rebuild::Bookmark> marks = rebuild::ChooseBookmarks(a);
    std::vector<uint32_t> addresses;
    for (const rebuild::Bookmark& k : marks) addresses.push_back(rebuild::AddressIn(a, k));
    // Timed apart; the outcomes come from the same calls in SearchDirectly.
    std::vector<zt::CodePattern> patterns(addresses.size());
    auto start = Clock::now();
    zt::BuildPatterns(a.view, addresses.data(), addresses.size(), patterns.data());
    const double buildTime = Seconds(start);
    std::vector<zt::PatternMatch> results(patterns.size());
    start = Clock::now();
    zt::SearchPatterns(b.view, patterns.data(), patterns.size(), results.data());
    const double searchTime = Seconds(start);
    const std::vector<rebuild::Outcome> outcomes = rebuild::SearchDirectly(a, b, marks);

    std::printf("A: %zu functions, %zu KB of code; B: %zu functions, %zu KB of code\n", a.functions.size(),
                rebuild::CodeBytes(a) / 1024, b.functions.size(), rebuild::CodeBytes(b) / 1024);
    rebuild::Score first, fifth, all;
    const std::vector<rebuild::Verdict> verdicts =
        rebuild::ScoreBookmarks(a, b, marks, outcomes, &first, &fifth, lines);
    size_t lengthSum = 0;
    for (size_t i = 0; i < marks.size(); ++i) {
        lengthSum += patterns[i].length;
        const rebuild::Verdict& v = verdicts[i];
        const bool wrong = v.kind == rebuild::Verdict::kWrong && std::getenv("ZT_SHOW_WRONG");
        const bool lost = v.kind == rebuild::Verdict::kNotPlaced &&
                          ((v.what == rebuild::Verdict::kSame && std::getenv("ZT_SHOW_LOST")) ||
                           (v.what == rebuild::Verdict::kKept && std::getenv("ZT_SHOW_KEPT")));
        if (!wrong && !lost) continue;
        char text[zt::kPatternTextMax];
        zt::FormatPattern(patterns[i], text);
        static const char* const kClass[] = {"unchanged", "changed, line kept", "changed, line gone"};
        std::printf("%s: %s%s +%u -> %08X (truth %08X; %s%s), %u in B, unique %u [%s] pos %u\n",
                    wrong ? "wrong" : "lost", a.functions[marks[i].function].name.c_str(), marks[i].fifth ? " 5th" : "",
                    marks[i].offset, results[i].address, v.truth, kClass[v.what],
                    v.aligned ? ", where the instructions line up" : "", results[i].count, patterns[i].unique, text,
                    patterns[i].position);
    }
    all.Add(first);
    all.Add(fifth);
    rebuild::Print("first instruction", first);
    rebuild::Print("5th instruction", fifth);
    rebuild::Print("all", all);
    std::printf("by class (%s):\n", lines ? "changed routines scored by their source lines"
                                           : "changed routines scored by aligned instructions");
    rebuild::PrintClasses(all);
    std::printf("by class, the 5th instructions alone:\n");
    rebuild::PrintClasses(fifth);
    std::printf("patterns: %.1f bytes on average; made in A in %.3f s, searched in B (one pass) in %.3f s\n",
                marks.empty() ? 0.0 : double(lengthSum) / marks.size(), buildTime, searchTime);
    double everythingTime = 0;
    all = Everything(a, b, marks, lines, &everythingTime);
    // One line for run.sh's table: the classes' totals, correct and wrong,
    // with everything the plug-in does.
    std::printf("row: %zu %zu %zu %zu %zu %zu %zu %zu %zu %zu %.3f\n", all.same.total, all.same.correct,
                all.same.wrong, all.kept.total, all.kept.correct, all.kept.wrong, all.kept.wrongAligned,
                all.gone.total, all.gone.wrong, all.gone.wrongAligned, buildTime + searchTime);
    if (speed) SpeedRows(a, b);
    return 0;
}
