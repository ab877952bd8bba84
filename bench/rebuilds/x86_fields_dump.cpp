// Reads code from stdin and writes, for every byte offset, what DecodeX86
// finds there: length, dispOffset, dispSize, immOffset, immSize, relative
// (six bytes per offset). Used by check_x86_length.py.
#include <cstdio>
#include <vector>

#include "core/x86_length.h"

int main() {
    std::vector<unsigned char> code;
    unsigned char chunk[65536];
    size_t got;
    while ((got = fread(chunk, 1, sizeof chunk, stdin)) > 0) code.insert(code.end(), chunk, chunk + got);
    for (size_t at = 0; at < code.size(); ++at) {
        zt::X86Fields f;
        zt::DecodeX86(code.data() + at, code.size() - at, &f);
        const unsigned char row[6] = {f.length, f.dispOffset, f.dispSize, f.immOffset, f.immSize, f.relative};
        fwrite(row, 1, 6, stdout);
    }
    return 0;
}
