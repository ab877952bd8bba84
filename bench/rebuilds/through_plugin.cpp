// The accuracy benchmark through the plug-in: OllyDbg.exe A.dll A.symbols
// B.dll B.symbols [NAME] [--lines A.lines B.lines A--B.linemap], another
// simulated debugger run under Wine. Build A
// is mapped into the debugged process at 0x10000000 as module NAME (the
// file's name up to its first '-' when not given), a bookmark is toggled on
// every function's first instruction and on the 5th of every function of at
// least 10, the JSON list is exported from the plug-in menu; a fresh
// plug-in then sees build B at 0x23450000 and imports the list. Each bookmark
// in the host's table is scored against B's symbols as the native accuracy
// program scores them (tests/rebuild_score.h; with --lines, changed
// routines by their source lines), beside the core's own search of the same
// patterns and its twins by order in this process; the import's time and the
// list's size are printed.
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include <windows.h>

#include "host/process_setup.h"
#include "rebuild_round_trip.h"

namespace {

std::string g_paths[4];
std::string g_name;
std::string g_lines[3];

class ThroughPlugin : public RebuildRoundTrip {
public:
    void TestBody() override {
        rebuild::Build a, b;
        ASSERT_TRUE(rebuild::LoadDll(g_paths[0], 0x10000000, &a) && rebuild::LoadSymbols(g_paths[1], &a))
            << "cannot load " << g_paths[0];
        ASSERT_TRUE(rebuild::LoadDll(g_paths[2], 0x23450000, &b) && rebuild::LoadSymbols(g_paths[3], &b))
            << "cannot load " << g_paths[2];
        rebuild::LineMap lineMap;
        const rebuild::LineMap* lines = nullptr;
        if (!g_lines[0].empty()) {
            ASSERT_TRUE(rebuild::LoadLines(g_lines[0], &a) && rebuild::LoadLines(g_lines[1], &b) &&
                        rebuild::LoadLineMap(g_lines[2], &lineMap))
                << "cannot load the source lines";
            lines = &lineMap;
        }
        const std::vector<rebuild::Bookmark> marks = rebuild::ChooseBookmarks(a);
        std::printf("A: %zu functions, %zu KB of code; B: %zu functions, %zu KB of code; module \"%s\"\n",
                    a.functions.size(), rebuild::CodeBytes(a) / 1024, b.functions.size(),
                    rebuild::CodeBytes(b) / 1024, g_name.c_str());

        const Carried carried = Carry(a, b, marks, g_name, true);
        rebuild::Score first, fifth, all;
        rebuild::ScoreBookmarks(a, b, marks, carried.outcomes, &first, &fifth, lines);
        all.Add(first);
        all.Add(fifth);
        std::printf("through the plug-in (export, import):\n");
        rebuild::Print("first instruction", first);
        rebuild::Print("5th instruction", fifth);
        rebuild::Print("all", all);
        rebuild::PrintClasses(all);
        std::printf("status: %s\n", carried.status.c_str());
        std::printf("the JSON list: %zu bytes, of them %zu of the patterns' old places (+%.1f %%)\n",
                    carried.listBytes, carried.placesBytes,
                    100.0 * double(carried.placesBytes) / double(carried.listBytes - carried.placesBytes));
        std::printf("  and %zu of the callers of %zu bookmarks (+%.1f %%)\n", carried.callersBytes, carried.withCallers,
                    100.0 * double(carried.callersBytes) /
                        double(carried.listBytes - carried.placesBytes - carried.callersBytes));
        std::printf("  and %zu of the keys of their routines' instructions (+%.1f %%)\n", carried.alignBytes,
                    100.0 * double(carried.alignBytes) /
                        double(carried.listBytes - carried.placesBytes - carried.callersBytes - carried.alignBytes -
                               carried.targetsBytes));
        std::printf("  and %zu of the pointer targets of %zu bookmarks (+%.1f %%)\n", carried.targetsBytes,
                    carried.withTargets,
                    100.0 * double(carried.targetsBytes) /
                        double(carried.listBytes - carried.placesBytes - carried.callersBytes - carried.alignBytes -
                               carried.targetsBytes));
        std::printf("placed %zu (%zu active), of them by offset without a pattern %zu; export %.3f s, import %.3f s\n",
                    all.correct + all.wrong, carried.placedActive, carried.placedWithoutPattern,
                    carried.exportSeconds, carried.importSeconds);
        std::printf("the JSON list: %zu bytes, %.1f a bookmark, of them %.1f the pattern's fields\n", carried.listBytes,
                    double(carried.listBytes) / double(marks.size()), double(carried.patternBytes) / double(marks.size()));
        // One line for run.sh's table.
        std::printf("row: %zu %zu %zu %zu %zu %zu %zu %zu %zu %zu %.3f %.3f %.1f %.1f\n", all.same.total,
                    all.same.correct, all.same.wrong, all.kept.total, all.kept.correct, all.kept.wrong,
                    all.kept.wrongAligned, all.gone.total, all.gone.wrong, all.gone.wrongAligned, carried.exportSeconds,
                    carried.importSeconds, double(carried.listBytes) / double(marks.size()),
                    double(carried.patternBytes) / double(marks.size()));

        // The same patterns built and searched by the core in this process.
        LARGE_INTEGER frequency, started, ended;
        QueryPerformanceFrequency(&frequency);
        QueryPerformanceCounter(&started);
        const std::vector<rebuild::Outcome> direct = rebuild::PlaceTwinsDirectly(a, b, marks);
        QueryPerformanceCounter(&ended);
        rebuild::Score directFirst, directFifth, directAll;
        rebuild::ScoreBookmarks(a, b, marks, direct, &directFirst, &directFifth, lines);
        directAll.Add(directFirst);
        directAll.Add(directFifth);
        std::printf("the core's own search, twins and alignment in this process (patterns made in A and searched in B "
                    "in %.3f s):\n",
                    double(ended.QuadPart - started.QuadPart) / double(frequency.QuadPart));
        rebuild::Print("all", directAll);
        size_t differ = 0;
        for (size_t i = 0; i < marks.size(); ++i) {
            const rebuild::Outcome &p = carried.outcomes[i], &d = direct[i];
            const bool placed = p.kind == rebuild::Outcome::kPlaced;
            const bool placedDirectly = d.kind == rebuild::Outcome::kPlaced;
            if (placed != placedDirectly || (placed && p.address != d.address)) {
                if (++differ <= 20)
                    std::printf("differs: %s%s: plug-in %s %08X, core %s %08X\n",
                                a.functions[marks[i].function].name.c_str(), marks[i].fifth ? " 5th" : "",
                                placed ? "placed at" : "not placed", p.address,
                                placedDirectly ? "placed at" : "not placed", d.address);
            }
        }
        std::printf("the plug-in and the core differ on %zu of %zu bookmarks\n", differ, marks.size());
    }
};

}  // namespace

int main(int argc, char** argv) {
    sim::PrepareHostProcess(nullptr);
    ::testing::InitGoogleTest(&argc, argv);
    if (argc < 5) {
        std::fprintf(stderr, "usage: OllyDbg.exe A.dll A.symbols B.dll B.symbols [NAME] "
                             "[--lines A.lines B.lines A--B.linemap]\n");
        return 2;
    }
    for (int i = 0; i < 4; ++i) g_paths[i] = argv[i + 1];
    for (int i = 5; i < argc; ++i) {
        if (std::string(argv[i]) == "--lines" && i + 3 < argc) {
            for (int j = 0; j < 3; ++j) g_lines[j] = argv[i + 1 + j];
            i += 3;
        } else {
            g_name = argv[i];
        }
    }
    if (g_name.empty()) {
        const std::string file = g_paths[0].substr(g_paths[0].find_last_of("/\\") + 1);
        g_name = file.substr(0, std::min(file.find_first_of("-."), size_t(8)));
    }
    ::testing::RegisterTest("Rebuilds", "ThroughPlugin", nullptr, nullptr, __FILE__, __LINE__,
                            []() -> ThroughPlugin* { return new ThroughPlugin(); });
    return RUN_ALL_TESTS();
}
