// The fuzzer's entry: a simulated debugger (OllyDbg.exe) that loads the real
// Zentrilo.dll once and feeds it inputs of one kind.
//
//   OllyDbg.exe --kind=exchange|project|settings|x64dbg|json|xml|debuggee|all --seed=N --first=I --count=C [--progress=P]
//
// Inputs first .. first+count-1 of that kind and seed; each input is made
// from (seed, kind, index) alone, so a run may start anywhere. Output lines:
//   FUZZ-FAIL kind= seed= first= index= step=: what   a broken invariant
//   FUZZ-CRASH kind= seed= first= index= step=: ...   the process then ends (exit code 3)
//   FUZZ-PROGRESS ... / FUZZ-DONE ...
// Exit code 0 when no invariant broke. fuzz/run.sh drives it.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "host/process_setup.h"
#include "session.h"

namespace {

fuzz::RunOptions g_options;

LONG WINAPI ReportCrash(EXCEPTION_POINTERS* info) {
    const fuzz::Position& at = fuzz::g_position;
    std::printf("\nFUZZ-CRASH kind=%s seed=%u first=%u index=%u step=%s: %s\n", at.kind, unsigned(at.seed),
                unsigned(at.first), unsigned(at.index), at.step, sim::DescribeCrash(*info->ExceptionRecord).c_str());
    std::fflush(stdout);
    TerminateProcess(GetCurrentProcess(), 3);
    return EXCEPTION_EXECUTE_HANDLER;
}

bool Option(const char* arg, const char* name, const char** value) {
    const size_t length = std::strlen(name);
    if (std::strncmp(arg, name, length) != 0 || arg[length] != '=') return false;
    *value = arg + length + 1;
    return true;
}

bool ParseOptions(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        const char* value = nullptr;
        if (Option(argv[i], "--kind", &value)) g_options.kind = value;
        else if (Option(argv[i], "--seed", &value)) g_options.seed = uint32_t(std::strtoul(value, nullptr, 0));
        else if (Option(argv[i], "--first", &value)) g_options.first = uint32_t(std::strtoul(value, nullptr, 0));
        else if (Option(argv[i], "--count", &value)) g_options.count = uint32_t(std::strtoul(value, nullptr, 0));
        else if (Option(argv[i], "--progress", &value)) g_options.progressEvery = uint32_t(std::strtoul(value, nullptr, 0));
        else if (std::strncmp(argv[i], "--gtest", 7) != 0) {
            std::printf("FUZZ: unknown argument %s\n", argv[i]);
            return false;
        }
    }
    if (g_options.progressEvery == 0) g_options.progressEvery = 1000;
    return !g_options.kind.empty();
}

}  // namespace

class Fuzz : public fuzz::Session {};

TEST_F(Fuzz, Run) { EXPECT_EQ(0, Run(g_options)); }

int main(int argc, char** argv) {
    sim::PrepareHostProcess(ReportCrash);

    ::testing::InitGoogleTest(&argc, argv);
    if (!ParseOptions(argc, argv)) {
        std::printf("usage: OllyDbg.exe --kind=exchange|project|settings|x64dbg|json|xml|debuggee [--seed=N] [--first=I] [--count=C]\n");
        return 2;
    }
    return RUN_ALL_TESTS();
}
