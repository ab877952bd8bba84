// The benchmark: the real Zentrilo.dll in the simulated debugger, with lean
// tables (bisection lookups, no guard pages), under Wine. For each number of
// bookmarks n it times the plug-in's operations, takes the median of several
// rounds and prints the time per operation (per record for a project load, an
// import and a save); at the end, each row's scale ratio: its cost at the
// largest n over its cost at the smallest, from this one run.
//
//   OllyDbg.exe [--sizes=100,1000,10000,100000] [--rounds=31] [--load-rounds=N] [--hidden-panel]
//
// --load-rounds sets the rounds of the project load, the import and the save
// (5, and 3 from n = 100,000 on, when not given). --hidden-panel keeps the
// navigation panel hidden: its caption then costs little to change, which
// shows the rest better on a slow machine (the key press row is left out: the
// plug-in follows the pane only while the panel is shown).
#include "host/exchange_bytes.h"
#include "host/plugin_fixture.h"
#include "host/process_setup.h"
#include "host/temp_folder.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace {

constexpr uint32_t kModuleBase = 0x10000000, kCode = 0x10001000, kStride = 4;
constexpr int kImport = 2, kList = 4;
constexpr int kUnboundKey = VK_DOWN;

std::vector<int> g_sizes = {100, 1000, 10000, 100000};
int g_rounds = 31;
int g_loadRounds = 0;  // 0: by n
bool g_hiddenPanel = false;

// Row name -> n -> microseconds, rows in the order first measured.
std::vector<std::string> g_rows;
std::map<std::string, std::map<int, double>> g_results;

void Record(const std::string& row, int n, double us) {
    if (!g_results.count(row)) g_rows.push_back(row);
    g_results[row][n] = us;
    std::printf("  n=%-6d %-52s %12.2f us\n", n, row.c_str(), us);
}

double Now() {
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER count;
    QueryPerformanceCounter(&count);
    return double(count.QuadPart) * 1e6 / double(frequency.QuadPart);
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

// The median over `rounds` of prepare() (untimed) then op() (timed), divided by per.
template <class Prepare, class Op>
double Measure(int rounds, double per, Prepare prepare, Op op) {
    std::vector<double> times;
    for (int round = 0; round < rounds; ++round) {
        prepare(round);
        double start = Now();
        op(round);
        times.push_back((Now() - start) / per);
    }
    return Median(times);
}

class Benchmark : public PluginTest {
public:
    explicit Benchmark(int n) : n_(n) {}

    void TestBody() override {
        sim::UseLeanTables(true);
        AddModule(kModuleBase, kCode - kModuleBase + n_ * kStride + 0x1000, "bench");
        AddBlock(kCode, n_ * kStride + 0x100, 0x90);
        ShowBlock(kCode, n_ * kStride + 0x100);
        if (g_hiddenPanel) StoreSetting("auto_show", 0);
        ASSERT_EQ(0, Start());

        LoadRows();
        ToggleRows();
        NavigationRows();
        QueryRows();
        if (!g_hiddenPanel) KeyPressRow();
        SaveRow();
        ImportRow();
        DisabledNavigationRow();
        PaintRow();
    }

private:
    uint32_t At(int i) const { return kCode + uint32_t(i) * kStride; }
    int LoadRounds() const { return g_loadRounds > 0 ? g_loadRounds : n_ >= 100000 ? 3 : 5; }

    // Frees what the host recorded so far: a run makes millions of calls.
    static void ForgetCalls() {
        sim::ResetLogWindow();
        sim::ResetDebuggerActions();
        sim::ResetUddRecords();
        sim::ResetDisassembler();
        sim::ResetNames();
    }

    void Reset() {
        dll.Pluginreset();
        ForgetCalls();
    }

    // The project's records handed over as the host reads it, lowest address first.
    void Load(bool (*active)(int i, int n)) {
        std::vector<uint8_t> body = sim::BookmarkBytes(0, 1, "bench", "n/a", "NOP");
        for (int i = 0; i < n_; ++i) {
            uint32_t address = At(i);
            std::memcpy(body.data(), &address, 4);
            body[16] = active(i, n_) ? 1 : 0;
            dll.Pluginuddrecord(nullptr, 1, sim::kBookmarkTag, body.size(), body.data());
        }
    }
    static bool AllActive(int, int) { return true; }
    static bool EndsActive(int i, int n) { return i == 0 || i == n - 1; }

    void LoadRows() {
        Record("project load of n records, per record", n_,
               Measure(LoadRounds(), n_, [&](int) { Reset(); }, [&](int) { Load(AllActive); }));
        ASSERT_EQ(n_, dll.zt_Count());
    }

    void ToggleRows() {
        std::vector<double> adds, removes;
        for (int round = 0; round < g_rounds; ++round) {
            uint32_t address = At(n_ / 2 + round % (n_ / 2)) + 2;
            double start = Now();
            dll.zt_Toggle(address);
            adds.push_back(Now() - start);
            start = Now();
            dll.zt_Toggle(address);
            removes.push_back(Now() - start);
        }
        Record("_zt_Toggle, add", n_, Median(adds));
        Record("_zt_Toggle, remove", n_, Median(removes));
        ForgetCalls();
    }

    void NavigationRows() {
        const uint32_t middle = At(n_ / 2);
        auto none = [](int) {};
        Record("_zt_NavigateForward from the middle", n_,
               Measure(g_rounds, 1, none, [&](int) { dll.zt_NavigateForward(middle); }));
        Record("_zt_NavigateBack from the middle", n_,
               Measure(g_rounds, 1, none, [&](int) { dll.zt_NavigateBack(middle); }));
        ForgetCalls();
    }

    void QueryRows() {
        constexpr int kBatch = 200;
        const uint32_t middle = At(n_ / 2);
        auto none = [](int) {};
        Record("_zt_Exists", n_, Measure(g_rounds, kBatch, none, [&](int) {
                   for (int i = 0; i < kBatch; ++i) dll.zt_Exists(middle + (i & 1));
               }));
        Record("_zt_Count", n_, Measure(g_rounds, kBatch, none, [&](int) {
                   for (int i = 0; i < kBatch; ++i) dll.zt_Count();
               }));
    }

    // A key the plug-in does not claim, pressed in the CPU pane: the host asks
    // the plug-in's shortcut handler, then the pane's window gets the key, which
    // the plug-in's watcher sees to republish the caption.
    void KeyPressRow() {
        HWND pane = sim::PaneWindow();
        LONG_PTR own = GetWindowLongPtrA(pane, GWLP_WNDPROC);
        ASSERT_TRUE(PumpUntil([&] { return GetWindowLongPtrA(pane, GWLP_WNDPROC) != own; }, 10000))
            << "the watcher did not attach";
        sim::Pane()->selected = At(n_ / 2);
        Record("CPU pane key press, the plug-in's share", n_, Measure(g_rounds, 1, [](int) {}, [&](int) {
                   Shortcut(kOriginCpuPane, 0, 0, 0, kUnboundKey, PaneItem());
                   SendMessageA(pane, WM_KEYDOWN, kUnboundKey, 0);
               }));
        ForgetCalls();
    }

    void SaveRow() {
        Record("project save, per record", n_,
               Measure(LoadRounds(), n_, [](int) { sim::ResetUddRecords(); }, [&](int) { SaveUdd(); }));
        ForgetCalls();
    }

    void ImportRow() {
        std::vector<uint8_t> record = sim::ExchangeBytes(0, 1, "bench", "n/a", "NOP", "");
        std::vector<uint8_t> file(record.size() * n_);
        for (int i = 0; i < n_; ++i) {
            uint32_t relative = uint32_t(i) * kStride;
            std::memcpy(record.data(), &relative, 4);
            std::memcpy(file.data() + i * record.size(), record.data(), record.size());
        }
        sim::TempFolder folder;
        const std::string path = folder.Path("bench.dat");
        ASSERT_TRUE(sim::WriteFileBytes(path, file));
        file.clear();
        file.shrink_to_fit();
        Record("import of an exchange file of n records, per record", n_,
               Measure(LoadRounds(), n_, [&](int) { Reset(); }, [&](int) {
                   sim::ChooseFile(path);
                   Action(kOriginPluginMenu, kImport);
               }));
        ASSERT_EQ(n_, dll.zt_Count());
        ForgetCalls();
    }

    // From the last bookmark back to the first, over every one between, all disabled.
    void DisabledNavigationRow() {
        Reset();
        Load(EndsActive);
        ForgetCalls();
        const int rounds = n_ >= 10000 ? std::min(g_rounds, 11) : g_rounds;
        Record("_zt_NavigateBack, all but first and last disabled", n_,
               Measure(rounds, 1, [](int) {}, [&](int) { dll.zt_NavigateBack(At(n_ - 1)); }));
        ASSERT_EQ(At(0), sim::SetCpuCalls().back().disasmAddress);
        ForgetCalls();
    }

    void PaintRow() {
        Action(kOriginPluginMenu, kList);
        HWND list = ListWindow();
        ASSERT_NE(nullptr, list);
        Record("one paint of the list window", n_, Measure(g_rounds, 1, [&](int) { InvalidateRect(list, nullptr, FALSE); },
                                                           [&](int) { sim::PaintNow(list); }));
    }

    int n_;
};

void PrintTable() {
    if (g_rows.empty()) return;
    const int first = g_sizes.front(), last = g_sizes.back();
    std::printf("\nTime per operation in microseconds (median); ratio = cost at n=%d / cost at n=%d\n\n", last, first);
    std::printf("| operation |");
    for (int n : g_sizes) std::printf(" n = %d |", n);
    std::printf(" ratio |\n|---|");
    for (size_t i = 0; i <= g_sizes.size(); ++i) std::printf("---|");
    std::printf("\n");
    for (const std::string& row : g_rows) {
        const std::map<int, double>& cells = g_results[row];
        std::printf("| %s |", row.c_str());
        for (int n : g_sizes) {
            auto cell = cells.find(n);
            cell == cells.end() ? std::printf(" - |") : std::printf(" %.3g |", cell->second);
        }
        auto low = cells.find(first), high = cells.find(last);
        if (low != cells.end() && high != cells.end() && low->second > 0)
            std::printf(" %.2f |\n", high->second / low->second);
        else
            std::printf(" - |\n");
    }
}

void ParseArguments(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        std::string argument = argv[i];
        if (argument.rfind("--sizes=", 0) == 0) {
            g_sizes.clear();
            for (const char* at = argv[i] + 8; *at;) {
                char* end;
                g_sizes.push_back(int(std::strtol(at, &end, 10)));
                at = *end == ',' ? end + 1 : end;
                if (end == at && *at) break;
            }
        } else if (argument.rfind("--load-rounds=", 0) == 0) {
            g_loadRounds = std::max(1, std::atoi(argv[i] + 14));
        } else if (argument == "--hidden-panel") {
            g_hiddenPanel = true;
        } else if (argument.rfind("--rounds=", 0) == 0) {
            g_rounds = std::max(1, std::atoi(argv[i] + 9));
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    sim::PrepareHostProcess(nullptr);
    // One CPU, so that the small figures are steady.
    const bool pinned = SetProcessAffinityMask(GetCurrentProcess(), 1) != 0;

    ::testing::InitGoogleTest(&argc, argv);
    ParseArguments(argc, argv);
    std::printf("Zentrilo benchmark: sizes");
    for (int n : g_sizes) std::printf(" %d", n);
    std::printf(", %d rounds; %s%s\n", g_rounds, pinned ? "pinned to one CPU" : "NOT pinned (SetProcessAffinityMask failed)",
                g_hiddenPanel ? "; panel hidden" : "");
    for (int n : g_sizes) {
        ::testing::RegisterTest("Benchmark", ("n" + std::to_string(n)).c_str(), nullptr, nullptr, __FILE__, __LINE__,
                                [n]() -> Benchmark* { return new Benchmark(n); });
    }
    int result = RUN_ALL_TESTS();
    PrintTable();
    return result;
}
