// accuracy A.dll A.symbols B.dll B.symbols [--speed]
//
// Loads two builds of one program (DLL files, mapped by section at two
// different bases with B's relocations applied), puts bookmarks in A on the
// first instruction of every function and on the 5th instruction of every
// function of at least 10, makes their patterns in A, searches them all in B
// in one pass, and scores each placement against B's symbols (the output of
// i686-w64-mingw32-nm). With --speed it also times searches of 1,000 to
// 10,000 patterns in 0.5 to 2 MB of code. A native program: the core's
// pattern code is plain C++.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "core/code_pattern.h"
#include "core/code_signature.h"
#include "core/module_view.h"
#include "core/pattern_search.h"
#include "core/pe_image.h"
#include "core/x86_length.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point from) { return std::chrono::duration<double>(Clock::now() - from).count(); }

struct Function {
    std::string name;
    uint32_t rva;
    uint32_t size;  // to the next symbol or the end of its code range
};

struct Module {
    std::vector<uint8_t> image;
    std::vector<uint32_t> relocations;
    zt::PeFacts facts{};
    zt::ModuleView view{};
    std::vector<Function> functions;
    std::map<std::string, size_t> byName;  // names that occur once
};

uint32_t Read32(const uint8_t* at) {
    uint32_t v;
    std::memcpy(&v, at, 4);
    return v;
}

bool LoadDll(const std::string& path, uint32_t base, Module* m) {
    std::ifstream in(path, std::ios::binary);
    std::vector<uint8_t> file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (file.size() < 0x200) return false;
    zt::PeFacts header;
    if (!zt::ReadPeFacts(file.data(), file.size(), &header)) return false;
    m->image.assign(header.sizeOfImage, 0);
    const uint32_t nt = Read32(&file[0x3C]);
    const unsigned sections = file[nt + 6] | file[nt + 7] << 8;
    const unsigned optionalSize = file[nt + 20] | file[nt + 21] << 8;
    const uint32_t headerSize = Read32(&file[nt + 24 + 60]);
    std::memcpy(m->image.data(), file.data(), std::min<size_t>(headerSize, file.size()));
    for (unsigned s = 0; s < sections; ++s) {
        const uint8_t* h = &file[nt + 24 + optionalSize + 40 * s];
        const uint32_t rva = Read32(h + 12), rawSize = Read32(h + 16), raw = Read32(h + 20);
        const uint32_t virtualSize = Read32(h + 8);
        const uint32_t take = std::min(rawSize, virtualSize ? virtualSize : rawSize);
        if (raw + take <= file.size() && rva + take <= m->image.size())
            std::memcpy(&m->image[rva], &file[raw], take);
    }
    if (!zt::ReadPeFacts(m->image.data(), m->image.size(), &m->facts)) return false;
    const size_t count = zt::ReadRelocations(m->image.data(), m->image.size(), m->facts, nullptr, 0);
    m->relocations.resize(count);
    m->relocations.resize(zt::ReadRelocations(m->image.data(), m->image.size(), m->facts, m->relocations.data(), count));
    const uint32_t delta = base - m->facts.imageBase;
    for (uint32_t rva : m->relocations) {
        const uint32_t v = Read32(&m->image[rva]) + delta;
        std::memcpy(&m->image[rva], &v, 4);
    }
    m->view = zt::ModuleView{base, static_cast<uint32_t>(m->image.size()), m->image.data(), nullptr,
                             m->relocations.data(), m->relocations.size(), m->facts.code, m->facts.codeCount};
    return true;
}

bool LoadSymbols(const std::string& path, Module* m) {
    std::ifstream in(path);
    if (!in) return false;
    std::map<uint32_t, std::string> starts;
    std::map<std::string, int> seen;
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream words(line);
        std::string address, type, name;
        if (!(words >> address >> type >> name) || (type != "t" && type != "T") || name[0] == '.') continue;
        const uint32_t rva = static_cast<uint32_t>(std::stoul(address, nullptr, 16)) - m->facts.imageBase;
        bool code = false;
        for (size_t r = 0; r < m->facts.codeCount; ++r)
            code = code || (rva >= m->facts.code[r].begin && rva < m->facts.code[r].end);
        if (!code) continue;
        ++seen[name];
        starts.emplace(rva, name);  // the first name of an address
    }
    for (auto it = starts.begin(); it != starts.end(); ++it) {
        auto next = std::next(it);
        uint32_t end = next != starts.end() ? next->first : it->first;
        for (size_t r = 0; r < m->facts.codeCount; ++r)
            if (it->first >= m->facts.code[r].begin && it->first < m->facts.code[r].end &&
                (next == starts.end() || next->first > m->facts.code[r].end))
                end = m->facts.code[r].end;
        m->functions.push_back(Function{it->second, it->first, end - it->first});
    }
    for (size_t i = 0; i < m->functions.size(); ++i)
        if (seen[m->functions[i].name] == 1) m->byName[m->functions[i].name] = i;
    return true;
}

// Offsets of the instruction starts of a function.
std::vector<uint32_t> Instructions(const Module& m, const Function& f) {
    std::vector<uint32_t> starts;
    uint32_t at = 0;
    while (at < f.size) {
        zt::X86Fields x;
        if (!zt::DecodeX86(&m.image[f.rva + at], f.size - at, &x)) break;
        starts.push_back(at);
        at += x.length;
    }
    return starts;
}

// The function's bytes with its wildcards as the builder makes them; equal
// for two builds when the code changed only in wildcard bytes.
std::vector<uint8_t> Masked(const Module& m, const Function& f, size_t length) {
    std::vector<uint8_t> fixed(length, 0), out(2 * length, 0);
    zt::MarkFixedBytes(m.view, f.rva, length, fixed.data());
    for (size_t i = 0; i < length; ++i) {
        out[2 * i] = fixed[i];
        out[2 * i + 1] = fixed[i] ? m.image[f.rva + i] : 0;
    }
    return out;
}

// One token an instruction: its bytes with the wildcards blanked.
std::vector<uint64_t> Tokens(const Module& m, const Function& f, size_t most) {
    std::vector<uint64_t> tokens;
    const std::vector<uint32_t> starts = Instructions(m, f);
    for (size_t i = 0; i < starts.size() && i < most; ++i) {
        const uint32_t end = i + 1 < starts.size() ? starts[i + 1] : f.size;
        const std::vector<uint8_t> masked = Masked(m, Function{f.name, f.rva + starts[i], end - starts[i]}, end - starts[i]);
        uint64_t h = 1469598103934665603ull;
        for (uint8_t c : masked) h = (h ^ c) * 1099511628211ull;
        tokens.push_back(h);
    }
    return tokens;
}

// The index of B's instruction that A's instruction `index` lines up with in
// a longest common subsequence of the functions' first instructions; -1 when
// it has none (it changed).
int AlignedInstruction(const Module& a, const Function& fa, const Module& b, const Function& fb, size_t index) {
    const std::vector<uint64_t> x = Tokens(a, fa, 48), y = Tokens(b, fb, 96);
    const size_t n = x.size(), m = y.size();
    std::vector<std::vector<int>> lcs(n + 1, std::vector<int>(m + 1, 0));
    for (size_t i = n; i-- > 0;)
        for (size_t j = m; j-- > 0;)
            lcs[i][j] = x[i] == y[j] ? lcs[i + 1][j + 1] + 1 : std::max(lcs[i + 1][j], lcs[i][j + 1]);
    size_t i = 0, j = 0;
    while (i < n && j < m) {
        if (x[i] == y[j] && lcs[i][j] == lcs[i + 1][j + 1] + 1) {
            if (i == index) return static_cast<int>(j);
            ++i, ++j;
        } else if (lcs[i + 1][j] >= lcs[i][j + 1]) {
            if (i == index) return -1;
            ++i;
        } else {
            ++j;
        }
    }
    return -1;
}

struct Bookmark {
    size_t function;  // in A
    bool fifth;
    uint32_t offset;  // from the function's start
};

struct Score {
    size_t total = 0, correct = 0, wrong = 0, notFound = 0, ambiguous = 0, unplaced = 0;
    size_t unchanged = 0, unchangedCorrect = 0, wrongSameFunction = 0, noCounterpart = 0, notUniqueAtExport = 0;
};

void Print(const char* what, const Score& s) {
    auto pct = [](size_t a, size_t b) { return b ? 100.0 * a / b : 0.0; };
    std::printf("%-18s %6zu bookmarks: correct %6zu (%5.1f %%), wrong %4zu (%5.2f %%), not placed %6zu (%5.1f %%: "
                "%zu not found, %zu ambiguous, %zu without pattern)\n",
                what, s.total, s.correct, pct(s.correct, s.total), s.wrong, pct(s.wrong, s.total),
                s.notFound + s.ambiguous + s.unplaced, pct(s.notFound + s.ambiguous + s.unplaced, s.total),
                s.notFound, s.ambiguous, s.unplaced);
    std::printf("%-18s unchanged functions: %zu bookmarks, %zu correct (%5.1f %%); wrong in the same function %zu; "
                "no counterpart in B %zu; not unique in A %zu\n",
                "", s.unchanged, s.unchangedCorrect, pct(s.unchangedCorrect, s.unchanged), s.wrongSameFunction,
                s.noCounterpart, s.notUniqueAtExport);
}

void SpeedRows(const Module& a, const Module& b) {
    // Patterns at every few instructions of A; code: B's code then A's, cut.
    std::vector<uint32_t> addresses;
    for (const Function& f : a.functions) {
        for (uint32_t off : Instructions(a, f)) addresses.push_back(a.view.base + f.rva + off);
    }
    const size_t most = 10000;
    std::vector<uint32_t> chosen;
    for (size_t i = 0; i < most; ++i) chosen.push_back(addresses[i * (addresses.size() / most)]);
    std::vector<zt::CodePattern> patterns(chosen.size());
    zt::BuildPatterns(a.view, chosen.data(), chosen.size(), patterns.data());

    std::vector<uint8_t> code;
    for (const Module* m : {&b, &a})
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

}  // namespace

int main(int argc, char** argv) {
    if (argc < 5) {
        std::fprintf(stderr, "usage: %s A.dll A.symbols B.dll B.symbols [--speed]\n", argv[0]);
        return 2;
    }
    Module a, b;
    if (!LoadDll(argv[1], 0x10000000, &a) || !LoadDll(argv[3], 0x23450000, &b) || !LoadSymbols(argv[2], &a) ||
        !LoadSymbols(argv[4], &b)) {
        std::fprintf(stderr, "cannot load the builds\n");
        return 1;
    }
    std::vector<Bookmark> bookmarks;
    std::vector<uint32_t> addresses;
    for (size_t i = 0; i < a.functions.size(); ++i) {
        const std::vector<uint32_t> starts = Instructions(a, a.functions[i]);
        if (starts.empty()) continue;
        bookmarks.push_back(Bookmark{i, false, 0});
        if (starts.size() >= 10) bookmarks.push_back(Bookmark{i, true, starts[4]});
    }
    for (const Bookmark& k : bookmarks) addresses.push_back(a.view.base + a.functions[k.function].rva + k.offset);

    std::vector<zt::CodePattern> patterns(addresses.size());
    auto start = Clock::now();
    zt::BuildPatterns(a.view, addresses.data(), addresses.size(), patterns.data());
    const double buildTime = Seconds(start);
    std::vector<zt::PatternMatch> results(patterns.size());
    start = Clock::now();
    zt::SearchPatterns(b.view, patterns.data(), patterns.size(), results.data());
    const double searchTime = Seconds(start);

    size_t codeA = 0, codeB = 0;
    for (size_t r = 0; r < a.facts.codeCount; ++r) codeA += a.facts.code[r].end - a.facts.code[r].begin;
    for (size_t r = 0; r < b.facts.codeCount; ++r) codeB += b.facts.code[r].end - b.facts.code[r].begin;
    std::printf("A: %zu functions, %zu KB of code; B: %zu functions, %zu KB of code\n", a.functions.size(),
                codeA / 1024, b.functions.size(), codeB / 1024);

    Score first, fifth, all;
    size_t lengthSum = 0;
    for (size_t i = 0; i < bookmarks.size(); ++i) {
        const Bookmark& k = bookmarks[i];
        const Function& fa = a.functions[k.function];
        Score& s = k.fifth ? fifth : first;
        ++s.total;
        lengthSum += patterns[i].length;
        if (patterns[i].length && !patterns[i].unique) ++s.notUniqueAtExport;
        auto counterpart = b.byName.find(fa.name);
        const bool known = counterpart != b.byName.end() && a.byName.count(fa.name);
        uint32_t truth = 0;
        bool unchanged = false;
        if (known) {
            const Function& fb = b.functions[counterpart->second];
            unchanged = fa.size == fb.size && Masked(a, fa, fa.size) == Masked(b, fb, fb.size);
            if (!k.fifth) {
                truth = b.view.base + fb.rva;
            } else if (unchanged) {
                truth = b.view.base + fb.rva + k.offset;
            } else {
                // A changed function: the instruction that the 5th of A lines up
                // with in B, when it does (longest common run of instructions).
                const int j = AlignedInstruction(a, fa, b, fb, 4);
                if (j >= 0) truth = b.view.base + fb.rva + Instructions(b, fb)[j];
            }
        } else {
            ++s.noCounterpart;
        }
        if (unchanged) ++s.unchanged;
        if (unchanged && std::getenv("ZT_SHOW_LOST") && zt::PlacementOf(patterns[i], results[i]) != zt::Placement::kFound) {
            char text[zt::kPatternTextMax];
            zt::FormatPattern(patterns[i], text);
            std::printf("lost: %s%s size %u: %u in B, unique %u [%s] pos %u\n", fa.name.c_str(), k.fifth ? " 5th" : "",
                        fa.size, results[i].count, patterns[i].unique, text, patterns[i].position);
        }
        const zt::Placement placement = zt::PlacementOf(patterns[i], results[i]);
        if (patterns[i].length == 0) {
            ++s.unplaced;
        } else if (placement == zt::Placement::kNotFound) {
            ++s.notFound;
        } else if (placement == zt::Placement::kAmbiguous) {
            ++s.ambiguous;
        } else if (truth && results[i].address == truth) {
            ++s.correct;
            if (unchanged) ++s.unchangedCorrect;
        } else {
            ++s.wrong;
            if (known) {
                const Function& fb = b.functions[counterpart->second];
                if (results[i].address - b.view.base - fb.rva < fb.size) ++s.wrongSameFunction;
            }
            if (std::getenv("ZT_SHOW_WRONG")) {
                char text[zt::kPatternTextMax];
                zt::FormatPattern(patterns[i], text);
                std::printf("wrong: %s%s +%u -> %08X (truth %08X) [%s] pos %u\n", fa.name.c_str(),
                            k.fifth ? " 5th" : "", k.offset, results[i].address, truth, text, patterns[i].position);
            }
        }
    }
    for (const Score* s : {&first, &fifth}) {
        all.total += s->total; all.correct += s->correct; all.wrong += s->wrong; all.notFound += s->notFound;
        all.ambiguous += s->ambiguous; all.unplaced += s->unplaced; all.unchanged += s->unchanged;
        all.unchangedCorrect += s->unchangedCorrect; all.wrongSameFunction += s->wrongSameFunction;
        all.noCounterpart += s->noCounterpart; all.notUniqueAtExport += s->notUniqueAtExport;
    }
    Print("first instruction", first);
    Print("5th instruction", fifth);
    Print("all", all);
    std::printf("patterns: %.1f bytes on average; made in A in %.3f s, searched in B (one pass) in %.3f s\n",
                bookmarks.empty() ? 0.0 : double(lengthSum) / bookmarks.size(), buildTime, searchTime);
    if (argc > 5 && std::strcmp(argv[5], "--speed") == 0) SpeedRows(a, b);
    return 0;
}
