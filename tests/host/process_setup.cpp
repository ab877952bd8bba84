#include "process_setup.h"

#include <commctrl.h>

#include <cstdio>

namespace sim {

void PrepareHostProcess(LPTOP_LEVEL_EXCEPTION_FILTER onCrash) {
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
    if (onCrash) SetUnhandledExceptionFilter(onCrash);
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_WIN95_CLASSES | ICC_HOTKEY_CLASS | ICC_UPDOWN_CLASS};
    InitCommonControlsEx(&controls);
}

std::string DescribeCrash(const EXCEPTION_RECORD& record) {
    HMODULE module = nullptr;
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       static_cast<LPCSTR>(record.ExceptionAddress), &module);
    char moduleName[MAX_PATH] = "?";
    if (module) GetModuleFileNameA(module, moduleName, sizeof moduleName);
    const unsigned long offset =
        module ? static_cast<unsigned long>(static_cast<const char*>(record.ExceptionAddress) -
                                            reinterpret_cast<const char*>(module))
               : 0ul;
    char text[MAX_PATH + 128];
    int length = std::snprintf(text, sizeof text, "exception %08lX at %p (%s + %lX)", record.ExceptionCode,
                               record.ExceptionAddress, moduleName, offset);
    if (record.ExceptionCode == EXCEPTION_ACCESS_VIOLATION && record.NumberParameters >= 2 && length > 0 &&
        static_cast<size_t>(length) < sizeof text) {
        std::snprintf(text + length, sizeof text - length, ", %s address %08lX",
                      record.ExceptionInformation[0] ? "writing" : "reading",
                      static_cast<unsigned long>(record.ExceptionInformation[1]));
    }
    return text;
}

}  // namespace sim
