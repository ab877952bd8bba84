// The simulated debugger's entry: prepares the process as the real host
// does (common controls registered), then runs every test.
#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <cstdio>

namespace {

// A crash ends the run; say where, and in which test, before the process goes.
LONG WINAPI ReportCrash(EXCEPTION_POINTERS* info) {
    const EXCEPTION_RECORD* record = info->ExceptionRecord;
    const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
    HMODULE module = nullptr;
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       static_cast<LPCSTR>(record->ExceptionAddress), &module);
    char moduleName[MAX_PATH] = "?";
    if (module) GetModuleFileNameA(module, moduleName, sizeof moduleName);
    std::fprintf(stderr, "\nCRASH: exception %08lX at %p (%s + %lX)", record->ExceptionCode,
                 record->ExceptionAddress, moduleName,
                 module ? static_cast<unsigned long>(static_cast<const char*>(record->ExceptionAddress) -
                                                     reinterpret_cast<const char*>(module))
                        : 0ul);
    if (record->ExceptionCode == EXCEPTION_ACCESS_VIOLATION && record->NumberParameters >= 2) {
        std::fprintf(stderr, ", %s address %08lX", record->ExceptionInformation[0] ? "writing" : "reading",
                     static_cast<unsigned long>(record->ExceptionInformation[1]));
    }
    std::fprintf(stderr, " in test %s.%s\n", test ? test->test_suite_name() : "?", test ? test->name() : "?");
    std::fflush(stderr);
    TerminateProcess(GetCurrentProcess(), 3);
    return EXCEPTION_EXECUTE_HANDLER;
}

}  // namespace

int main(int argc, char** argv) {
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
    SetUnhandledExceptionFilter(ReportCrash);

    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_WIN95_CLASSES | ICC_HOTKEY_CLASS | ICC_UPDOWN_CLASS};
    InitCommonControlsEx(&controls);

    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
