// The simulated debugger's entry: prepares the process as the real host
// does (common controls registered), then runs every test.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>

#include "process_setup.h"

namespace {

// A crash ends the run; say where, and in which test, before the process goes.
LONG WINAPI ReportCrash(EXCEPTION_POINTERS* info) {
    const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
    std::fprintf(stderr, "\nCRASH: %s in test %s.%s\n", sim::DescribeCrash(*info->ExceptionRecord).c_str(),
                 test ? test->test_suite_name() : "?", test ? test->name() : "?");
    std::fflush(stderr);
    TerminateProcess(GetCurrentProcess(), 3);
    return EXCEPTION_EXECUTE_HANDLER;
}

}  // namespace

int main(int argc, char** argv) {
    sim::PrepareHostProcess(ReportCrash);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
