#include "exchange/common/status_text.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace zt {

void AppendText(StatusText& text, const char* format, ...) {
    const size_t length = strnlen(text, sizeof text);
    va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(text + length, sizeof text - length, format, arguments);
    va_end(arguments);
}

void AppendSkipped(StatusText& text, const CountedReason* reasons, unsigned reasonCount) {
    unsigned skipped = 0;
    for (unsigned i = 0; i < reasonCount; ++i) skipped += reasons[i].count;
    if (skipped == 0) return;
    AppendText(text, ", %u skipped (", skipped);
    const char* separator = "";
    for (unsigned i = 0; i < reasonCount; ++i) {
        const CountedReason& reason = reasons[i];
        if (reason.count == 0) continue;
        if (reason.count == skipped)
            AppendText(text, "%s", reason.why);
        else
            AppendText(text, "%s%u %s", separator, reason.count, reason.why);
        separator = ", ";
    }
    AppendText(text, ")");
}

}  // namespace zt
