// Status-bar messages of the importers and exporters, put together in a
// fixed buffer.
#pragma once

namespace zt {

constexpr unsigned kStatusTextSize = 256;
using StatusText = char[kStatusTextSize];

// Appends printf-like to text, cut at its end.
void AppendText(StatusText& text, const char* format, ...);

struct CountedReason {
    unsigned count;
    const char* why;
};

// ", N skipped (why)" or ", N skipped (n1 why1, n2 why2)" for the reasons
// that count; nothing when none does.
void AppendSkipped(StatusText& text, const CountedReason* reasons, unsigned reasonCount);

}  // namespace zt
