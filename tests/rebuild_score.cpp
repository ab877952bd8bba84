#include "rebuild_score.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>

#include "core/call_sites.h"
#include "core/code_signature.h"
#include "core/pointer_targets.h"
#include "core/routine_align.h"
#include "core/twin_follow.h"
#include "core/twin_order.h"
#include "core/x86_length.h"

namespace rebuild {

namespace {

uint32_t Read32(const uint8_t* at) {
    uint32_t v;
    std::memcpy(&v, at, 4);
    return v;
}

// The function's bytes with its wildcards as the builder makes them; equal
// for two builds when the code changed only in wildcard bytes.
std::vector<uint8_t> Masked(const Build& m, const Function& f, size_t length) {
    std::vector<uint8_t> fixed(length, 0), out(2 * length, 0);
    zt::MarkFixedBytes(m.view, f.rva, length, fixed.data());
    for (size_t i = 0; i < length; ++i) {
        out[2 * i] = fixed[i];
        out[2 * i + 1] = fixed[i] ? m.image[f.rva + i] : 0;
    }
    return out;
}

// One token an instruction: its form, its bytes with the wildcards and
// every displacement and immediate blanked (a new local shifts the stack
// offsets, a changed structure its fields' offsets: the instruction stays).
std::vector<uint64_t> Tokens(const Build& m, const Function& f, size_t most) {
    std::vector<uint64_t> tokens;
    const std::vector<uint32_t> starts = Instructions(m, f);
    for (size_t i = 0; i < starts.size() && i < most; ++i) {
        const uint32_t end = i + 1 < starts.size() ? starts[i + 1] : f.size;
        std::vector<uint8_t> masked =
            Masked(m, Function{f.name, f.rva + starts[i], end - starts[i]}, end - starts[i]);
        zt::X86Fields x;
        if (zt::DecodeX86(&m.image[f.rva + starts[i]], end - starts[i], &x)) {
            for (size_t b = 0; b < x.immSize; ++b) masked[2 * (x.immOffset + b)] = masked[2 * (x.immOffset + b) + 1] = 0;
            for (size_t b = 0; b < x.dispSize; ++b) masked[2 * (x.dispOffset + b)] = masked[2 * (x.dispOffset + b) + 1] = 0;
        }
        uint64_t h = 1469598103934665603ull;
        for (uint8_t c : masked) h = (h ^ c) * 1099511628211ull;
        tokens.push_back(h);
    }
    return tokens;
}

// The index of B's instruction that A's instruction `index` lines up with in
// a longest common subsequence of the functions' first instructions; -1 when
// it has none (it changed).
int AlignedInstruction(const Build& a, const Function& fa, const Build& b, const Function& fb, size_t index) {
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

const LineRange* LineAt(const Build& m, uint32_t rva) {
    auto it = std::upper_bound(m.lines.begin(), m.lines.end(), rva,
                               [](uint32_t x, const LineRange& r) { return x < r.begin; });
    if (it == m.lines.begin()) return nullptr;
    --it;
    return rva < it->end ? &*it : nullptr;
}

// Where A's instruction at `offset` of fa belongs in fb by the source lines:
// its line in A, that line's place in B when unchanged, and there the
// instruction of the same rank (the k-th of fb's instructions attributed to
// that line, in address order, as it is the k-th of fa's). 0 when its line
// is unknown, changed or went, or B has fewer instructions of it.
uint32_t PlaceByLine(const Build& a, const Function& fa, uint32_t offset, const Build& b, const Function& fb,
                     const LineMap& map) {
    const LineRange* at = LineAt(a, fa.rva + offset);
    if (!at) return 0;
    size_t rank = 0;
    for (uint32_t x : Instructions(a, fa)) {
        if (x >= offset) break;
        const LineRange* r = LineAt(a, fa.rva + x);
        rank += r && r->file == at->file && r->line == at->line;
    }
    const std::string& path = a.lineFiles[at->file];
    const uint32_t line = map.Map(path, at->line);
    if (!line) return 0;
    for (uint32_t y : Instructions(b, fb)) {
        const LineRange* r = LineAt(b, fb.rva + y);
        if (r && r->line == line && b.lineFiles[r->file] == path && rank-- == 0) return b.view.base + fb.rva + y;
    }
    return 0;
}

void Count(Tally* t, Outcome::Kind outcome, Verdict::Kind verdict) {
    ++t->total;
    t->correct += verdict == Verdict::kCorrect;
    t->wrong += verdict == Verdict::kWrong;
    t->notFound += outcome == Outcome::kNotFound;
    t->ambiguous += outcome == Outcome::kAmbiguous;
    t->notPlaced += outcome == Outcome::kNotPlaced || outcome == Outcome::kNoPattern;
}

}  // namespace

uint32_t LineMap::Map(const std::string& path, uint32_t line) const {
    if (same.count(path)) return line;
    auto file = runs.find(path);
    if (file == runs.end()) return 0;
    auto it = std::upper_bound(file->second.begin(), file->second.end(), line,
                               [](uint32_t x, const Run& r) { return x < r.a; });
    if (it == file->second.begin()) return 0;
    --it;
    return line < it->a + it->count ? it->b + (line - it->a) : 0;
}

bool LoadLines(const std::string& path, Build* m) {
    std::ifstream in(path);
    if (!in) return false;
    std::string line;
    while (std::getline(in, line)) {
        if (line.size() < 2) continue;
        std::istringstream words(line.substr(2));
        if (line[0] == 'F') {
            size_t id;
            words >> id;
            std::string name;
            std::getline(words >> std::ws, name);
            if (m->lineFiles.size() <= id) m->lineFiles.resize(id + 1);
            m->lineFiles[id] = name;
        } else if (line[0] == 'R') {
            LineRange r{};
            words >> std::hex >> r.begin >> r.end >> std::dec >> r.file >> r.line;
            if (words) m->lines.push_back(r);
        }
    }
    std::sort(m->lines.begin(), m->lines.end(), [](const LineRange& x, const LineRange& y) { return x.begin < y.begin; });
    for (const LineRange& r : m->lines)
        if (r.file >= m->lineFiles.size()) return false;
    return !m->lines.empty();
}

bool LoadLineMap(const std::string& path, LineMap* map) {
    std::ifstream in(path);
    if (!in) return false;
    std::string line;
    while (std::getline(in, line)) {
        if (line.size() < 2) continue;
        if (line[0] == 'S') {
            map->same[line.substr(2)] = true;
        } else if (line[0] == 'M') {
            // The path may hold spaces: the three numbers are the last words.
            std::vector<std::string> words;
            std::istringstream split(line.substr(2));
            for (std::string w; split >> w;) words.push_back(w);
            if (words.size() < 4) return false;
            const size_t n = words.size();
            const size_t pathEnd = line.size() - (words[n - 3].size() + words[n - 2].size() + words[n - 1].size() + 3);
            map->runs[line.substr(2, pathEnd - 2)].push_back(LineMap::Run{
                uint32_t(std::stoul(words[n - 3])), uint32_t(std::stoul(words[n - 2])), uint32_t(std::stoul(words[n - 1]))});
        }
    }
    for (auto& file : map->runs)
        std::sort(file.second.begin(), file.second.end(), [](const LineMap::Run& x, const LineMap::Run& y) { return x.a < y.a; });
    return true;
}

bool LoadDll(const std::string& path, uint32_t base, Build* m) {
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
    m->relocations.resize(
        zt::ReadRelocations(m->image.data(), m->image.size(), m->facts, m->relocations.data(), count));
    const uint32_t delta = base - m->facts.imageBase;
    for (uint32_t rva : m->relocations) {
        const uint32_t v = Read32(&m->image[rva]) + delta;
        std::memcpy(&m->image[rva], &v, 4);
    }
    m->view = zt::ModuleView{base, static_cast<uint32_t>(m->image.size()), m->image.data(), nullptr,
                             m->relocations.data(), m->relocations.size(), m->facts.code, m->facts.codeCount};
    return true;
}

bool LoadSymbols(const std::string& path, Build* m) {
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
    return !m->functions.empty();
}

std::vector<uint32_t> Instructions(const Build& m, const Function& f) {
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

std::vector<Bookmark> ChooseBookmarks(const Build& a) {
    std::vector<Bookmark> marks;
    for (size_t i = 0; i < a.functions.size(); ++i) {
        const std::vector<uint32_t> starts = Instructions(a, a.functions[i]);
        if (starts.empty()) continue;
        marks.push_back(Bookmark{i, false, 0});
        if (starts.size() >= 10) marks.push_back(Bookmark{i, true, starts[4]});
    }
    return marks;
}

std::vector<Outcome> SearchDirectly(const Build& a, const Build& b, const std::vector<Bookmark>& marks,
                                    std::vector<zt::CodePattern>* kept) {
    std::vector<uint32_t> addresses;
    for (const Bookmark& k : marks) addresses.push_back(AddressIn(a, k));
    std::vector<zt::CodePattern> patterns(addresses.size());
    zt::BuildPatterns(a.view, addresses.data(), addresses.size(), patterns.data());
    std::vector<zt::PatternMatch> results(patterns.size());
    zt::SearchPatterns(b.view, patterns.data(), patterns.size(), results.data());
    std::vector<Outcome> outcomes;
    for (size_t i = 0; i < patterns.size(); ++i) {
        Outcome o{Outcome::kPlaced, results[i].address, patterns[i].unique != 0};
        if (patterns[i].length == 0)
            o.kind = Outcome::kNoPattern;
        else if (zt::PlacementOf(patterns[i], results[i]) == zt::Placement::kNotFound)
            o.kind = Outcome::kNotFound;
        else if (zt::PlacementOf(patterns[i], results[i]) == zt::Placement::kAmbiguous)
            o.kind = Outcome::kAmbiguous;
        outcomes.push_back(o);
    }
    if (kept) *kept = std::move(patterns);
    return outcomes;
}

std::vector<Outcome> PlaceTwinsDirectly(const Build& a, const Build& b, const std::vector<Bookmark>& marks,
                                        std::vector<bool>* byOrder, std::vector<bool>* byCallers,
                                        std::vector<bool>* byTargets, std::vector<bool>* byFollowing,
                                        std::vector<bool>* byAlignment, std::vector<bool>* byExport) {
    if (byFollowing) byFollowing->assign(marks.size(), false);
    if (byExport) byExport->assign(marks.size(), false);
    std::vector<zt::CodePattern> patterns;
    std::vector<Outcome> outcomes = SearchDirectly(a, b, marks, &patterns);
    const uint32_t enough = zt::kMostTwins + 1;
    std::vector<const zt::CodePattern*> each;
    for (const zt::CodePattern& p : patterns) each.push_back(&p);
    std::vector<zt::PatternMatch> found(patterns.size()), inA(patterns.size());
    std::vector<uint32_t> where(patterns.size() * enough), whereA(patterns.size() * enough);
    zt::WorkBudget budget, budgetA;
    zt::SearchPatterns(b.view, each.data(), each.size(), found.data(), budget, enough, zt::kMinFixedBytes, where.data());
    zt::SearchPatterns(a.view, each.data(), each.size(), inA.data(), budgetA, enough, zt::kMinFixedBytes, whereA.data());
    // First, a bookmark on a routine the module exports, not found once by
    // its pattern: the routine B exports under the same names.
    const zt::PointerTargets targetsA(a.view), targetsB(b.view);
    std::vector<bool> exported(marks.size(), false);
    for (size_t i = 0; i < marks.size(); ++i) {
        if (!patterns[i].length || found[i].givenUp || outcomes[i].kind == Outcome::kPlaced) continue;
        uint32_t rva = 0;
        if (!targetsB.ExportedRoutine(targetsA.ExportNames(AddressIn(a, marks[i]) - a.view.base), rva)) continue;
        outcomes[i].kind = Outcome::kPlaced;
        outcomes[i].address = b.view.base + rva;
        exported[i] = true;
        if (byExport) (*byExport)[i] = true;
    }
    std::vector<zt::OrderedMark> ordered(marks.size());
    for (size_t i = 0; i < marks.size(); ++i) {
        zt::OrderedMark& m = ordered[i];
        m = zt::OrderedMark{};
        m.oldOffset = AddressIn(a, marks[i]) - a.view.base;
        const zt::Placement placement = zt::PlacementOf(patterns[i], found[i]);
        m.newOffset = placement == zt::Placement::kFound ? found[i].address - b.view.base : zt::kUnplaced;
        if (exported[i]) m.newOffset = outcomes[i].address - b.view.base;
        if (placement == zt::Placement::kAmbiguous && !exported[i] && !found[i].givenUp &&
            found[i].count <= zt::kMostTwins) {
            m.twinCount = found[i].count;
            for (uint32_t k = 0; k < m.twinCount; ++k) m.twins[k] = where[i * enough + k] - b.view.base;
            m.oldTwinCount = inA[i].count;
            for (uint32_t k = 0; k < m.oldTwinCount && k < zt::kMostTwins; ++k)
                m.oldTwins[k] = whereA[i * enough + k] - a.view.base;
        }
    }
    zt::PlaceTwinsByOrder(ordered.data(), ordered.size());
    if (byOrder) byOrder->assign(marks.size(), false);
    for (size_t i = 0; i < marks.size(); ++i) {
        if (!ordered[i].byOrder) continue;
        outcomes[i].kind = Outcome::kPlaced;
        outcomes[i].address = b.view.base + ordered[i].newOffset;
        if (byOrder) (*byOrder)[i] = true;
    }

    // The callers of each bookmark whose pattern is not unique in A.
    std::vector<uint32_t> targets;
    std::vector<size_t> owner;
    for (size_t i = 0; i < marks.size(); ++i) {
        if (!patterns[i].length || patterns[i].unique) continue;
        targets.push_back(AddressIn(a, marks[i]));
        owner.push_back(i);
    }
    std::vector<size_t> order(targets.size());
    for (size_t k = 0; k < order.size(); ++k) order[k] = k;
    std::sort(order.begin(), order.end(), [&](size_t x, size_t y) { return targets[x] < targets[y]; });
    std::vector<uint32_t> sorted;
    for (size_t k : order) sorted.push_back(targets[k]);
    std::vector<uint32_t> sites(sorted.size() * zt::kMostCallers);
    std::vector<uint8_t> siteCounts(sorted.size());
    zt::WorkBudget callBudget;
    zt::FindCallSites(a.view, sorted.data(), sorted.size(), sites.data(), siteCounts.data(), callBudget);
    std::vector<uint32_t> flat;
    for (size_t s = 0; s < sorted.size(); ++s)
        for (size_t k = 0; k < siteCounts[s]; ++k) flat.push_back(sites[s * zt::kMostCallers + k]);
    std::vector<zt::CodePattern> made(flat.size());
    zt::BuildPatterns(a.view, flat.data(), flat.size(), made.data());
    std::vector<zt::PatternMatch> callsFound(made.size());
    zt::SearchPatterns(b.view, made.data(), made.size(), callsFound.data());
    if (byCallers) byCallers->assign(marks.size(), false);
    const bool show = std::getenv("ZT_SHOW_CALLERS") != nullptr;
    for (size_t s = 0, n = 0; s < sorted.size(); ++s) {
        const size_t i = owner[order[s]];
        uint32_t chosen = 0, agreeing = 0, kept = 0;
        bool against = false;
        for (size_t k = 0; k < siteCounts[s]; ++k, ++n) {
            const zt::CodePattern& p = made[n];
            if (!p.length || !p.unique || !zt::OnBranch(p)) continue;
            ++kept;
            if (against) continue;
            const zt::PatternMatch& call = callsFound[n];
            if (call.count != 1) continue;
            uint32_t target = 0;
            if (!zt::CallTarget(b.view, call.address, target) || (agreeing && target != chosen)) {
                against = true;
                continue;
            }
            chosen = target;
            ++agreeing;
        }
        const bool ambiguous =
            zt::PlacementOf(patterns[i], found[i]) == zt::Placement::kAmbiguous && !ordered[i].byOrder && !exported[i];
        const bool twin = ambiguous && zt::PatternFitsAt(b.view, patterns[i], chosen);
        if (show)
            std::printf("callers of %s%s: %u sites, %u kept, %u agree%s, %s\n",
                        a.functions[marks[i].function].name.c_str(), marks[i].fifth ? " 5th" : "", siteCounts[s], kept,
                        agreeing, against ? ", one against" : "",
                        !ambiguous ? "not ambiguous" : twin ? "a twin" : "not a twin");
        if (!ambiguous || against || agreeing < 2 || !twin) continue;
        outcomes[i].kind = Outcome::kPlaced;
        outcomes[i].address = chosen;
        if (byCallers) (*byCallers)[i] = true;
    }

    // Then those still ambiguous by what their wildcards point to, as the
    // export records it: described at each place in A, kept only when that
    // tells its own place from the others; with more places than recorded,
    // kept when the pattern pinned by the imports its fields name is unique
    // in A. At import: described at each place in B (up to kMostTwins), or
    // pinned by the imports in B and found once.
    zt::WorkBudget targetBudget;
    if (byTargets) byTargets->assign(marks.size(), false);
    const bool showTargets = std::getenv("ZT_SHOW_TARGETS") != nullptr;
    std::vector<std::vector<uint32_t>> recordedOf(marks.size());
    for (size_t i = 0; i < marks.size(); ++i) {
        if (!patterns[i].length || patterns[i].unique || inA[i].givenUp || inA[i].count < 2) continue;
        uint32_t recorded[zt::kMostTargetFields];
        if (inA[i].count <= zt::kMostTwins) {
            const size_t fields = zt::RecordTargets(targetsA, patterns[i], AddressIn(a, marks[i]), &whereA[i * enough],
                                                    inA[i].count, recorded, targetBudget);
            recordedOf[i].assign(recorded, recorded + fields);
            continue;
        }
        const size_t fields = targetsA.Describe(patterns[i], AddressIn(a, marks[i]), recorded, targetBudget);
        zt::CodePattern pinned;
        if (!zt::PinImports(targetsA, patterns[i], recorded, fields, &pinned)) continue;
        zt::PatternMatch once{};
        const zt::CodePattern* one = &pinned;
        zt::WorkBudget pinBudget;
        zt::SearchPatterns(a.view, &one, 1, &once, pinBudget);
        if (once.count == 1 && !once.givenUp) recordedOf[i].assign(recorded, recorded + fields);
    }
    const auto stillAmbiguous = [&](size_t i) {
        return outcomes[i].kind != Outcome::kPlaced && !recordedOf[i].empty() && !found[i].givenUp &&
               zt::PlacementOf(patterns[i], found[i]) == zt::Placement::kAmbiguous;
    };
    if (showTargets) {
        // Where the order or the callers decided: what the pointer targets would say.
        for (size_t i = 0; i < marks.size(); ++i) {
            if (outcomes[i].kind != Outcome::kPlaced || recordedOf[i].empty() || found[i].givenUp ||
                found[i].count > zt::kMostTwins || zt::PlacementOf(patterns[i], found[i]) != zt::Placement::kAmbiguous)
                continue;
            const int chosen = zt::PlaceByTargets(targetsB, patterns[i], recordedOf[i].data(), recordedOf[i].size(),
                                                  &where[i * enough], found[i].count, targetBudget);
            std::printf("decided already %s%s: pointer targets %s\n", a.functions[marks[i].function].name.c_str(),
                        marks[i].fifth ? " 5th" : "",
                        chosen < 0 ? "undecided" : where[i * enough + chosen] == outcomes[i].address ? "agree" : "DISAGREE");
        }
    }
    for (size_t i = 0; i < marks.size(); ++i) {
        if (!stillAmbiguous(i) || found[i].count > zt::kMostTwins) continue;
        const int chosen = zt::PlaceByTargets(targetsB, patterns[i], recordedOf[i].data(), recordedOf[i].size(),
                                              &where[i * enough], found[i].count, targetBudget);
        if (showTargets)
            std::printf("targets of %s%s: %u in A, %u in B, %zu fields recorded, %s\n",
                        a.functions[marks[i].function].name.c_str(), marks[i].fifth ? " 5th" : "", inA[i].count,
                        found[i].count, recordedOf[i].size(), chosen < 0 ? "not placed" : "placed");
        if (chosen < 0) continue;
        outcomes[i].kind = Outcome::kPlaced;
        outcomes[i].address = where[i * enough + chosen];
        if (byTargets) (*byTargets)[i] = true;
    }
    for (size_t i = 0; i < marks.size(); ++i) {
        if (!stillAmbiguous(i)) continue;
        zt::CodePattern pinned;
        if (!zt::PinImports(targetsB, patterns[i], recordedOf[i].data(), recordedOf[i].size(), &pinned)) continue;
        zt::PatternMatch once{};
        const zt::CodePattern* one = &pinned;
        zt::WorkBudget pinBudget;
        zt::SearchPatterns(b.view, &one, 1, &once, pinBudget);
        if (once.count != 1 || once.givenUp ||
            zt::PlaceByTargets(targetsB, patterns[i], recordedOf[i].data(), recordedOf[i].size(), &once.address, 1,
                               targetBudget) != 0)
            continue;
        if (showTargets)
            std::printf("pinned %s%s: placed\n", a.functions[marks[i].function].name.c_str(), marks[i].fifth ? " 5th" : "");
        outcomes[i].kind = Outcome::kPlaced;
        outcomes[i].address = once.address;
        if (byTargets) (*byTargets)[i] = true;
    }

    // Then the twins that follow a placed neighbour of their routine.
    std::vector<zt::FollowingMark> following(marks.size());
    for (size_t i = 0; i < marks.size(); ++i) {
        const bool placed = outcomes[i].kind == Outcome::kPlaced;
        following[i] = {ordered[i].oldOffset, placed ? outcomes[i].address - b.view.base : zt::kUnplaced, &patterns[i],
                        uint8_t(!placed && !found[i].givenUp &&
                                zt::PlacementOf(patterns[i], found[i]) == zt::Placement::kAmbiguous),
                        0};
    }
    zt::FollowPlacedNeighbours(b.view, following.data(), following.size());
    for (size_t i = 0; i < marks.size(); ++i) {
        if (!following[i].followed) continue;
        outcomes[i].kind = Outcome::kPlaced;
        outcomes[i].address = b.view.base + following[i].newOffset;
        if (byFollowing) (*byFollowing)[i] = true;
    }

    // Then those not found, by aligning their routines' instructions between
    // their placed neighbours.
    std::vector<zt::AlignKeys> keys(marks.size());
    std::vector<zt::AlignMark> aligned(marks.size());
    for (size_t i = 0; i < marks.size(); ++i) {
        zt::AlignMark& m = aligned[i];
        m = zt::AlignMark{};
        m.oldOffset = AddressIn(a, marks[i]) - a.view.base;
        m.newOffset = outcomes[i].kind == Outcome::kPlaced ? outcomes[i].address - b.view.base : zt::kAlignUnplaced;
        if (outcomes[i].kind != Outcome::kNotFound) continue;
        zt::MakeAlignKeys(a.view, AddressIn(a, marks[i]), &keys[i]);
        if (keys[i].count) m.keys = &keys[i];
    }
    zt::WorkBudget alignBudget;
    zt::PlaceByAlignment(b.view, aligned.data(), aligned.size(), alignBudget);
    if (byAlignment) byAlignment->assign(marks.size(), false);
    for (size_t i = 0; i < marks.size(); ++i) {
        if (!aligned[i].byAlignment) continue;
        outcomes[i].kind = Outcome::kPlaced;
        outcomes[i].address = b.view.base + aligned[i].newOffset;
        if (byAlignment) (*byAlignment)[i] = true;
    }
    return outcomes;
}

void Score::Add(const Score& s) {
    total += s.total, correct += s.correct, wrong += s.wrong, notFound += s.notFound, ambiguous += s.ambiguous;
    notPlaced += s.notPlaced, noPattern += s.noPattern, unchanged += s.unchanged;
    unchangedCorrect += s.unchangedCorrect, wrongSameFunction += s.wrongSameFunction;
    noCounterpart += s.noCounterpart, notUniqueAtExport += s.notUniqueAtExport;
    same.Add(s.same), kept.Add(s.kept), gone.Add(s.gone);
    lineChecked += s.lineChecked, lineAgrees += s.lineAgrees, lineElsewhere += s.lineElsewhere;
}

void Tally::Add(const Tally& t) {
    total += t.total, correct += t.correct, wrong += t.wrong, notFound += t.notFound, ambiguous += t.ambiguous;
    notPlaced += t.notPlaced, wrongAligned += t.wrongAligned;
}

std::vector<Verdict> ScoreBookmarks(const Build& a, const Build& b, const std::vector<Bookmark>& marks,
                                    const std::vector<Outcome>& outcomes, Score* first, Score* fifth,
                                    const LineMap* lines) {
    const bool byLine = lines && !a.lines.empty() && !b.lines.empty();
    std::vector<Verdict> verdicts;
    for (size_t i = 0; i < marks.size(); ++i) {
        const Bookmark& k = marks[i];
        const Outcome& o = outcomes[i];
        const Function& fa = a.functions[k.function];
        Score& s = k.fifth ? *fifth : *first;
        ++s.total;
        if (o.kind != Outcome::kNoPattern && !o.uniqueAtExport) ++s.notUniqueAtExport;
        auto counterpart = b.byName.find(fa.name);
        const bool known = counterpart != b.byName.end() && a.byName.count(fa.name);
        Verdict v{Verdict::kNotPlaced, Verdict::kGone, 0, false, false};
        bool aligned = false;
        if (known) {
            const Function& fb = b.functions[counterpart->second];
            v.unchanged = fa.size == fb.size && Masked(a, fa, fa.size) == Masked(b, fb, fb.size);
            if (!k.fifth) {
                v.truth = b.view.base + fb.rva;
            } else if (v.unchanged) {
                v.truth = b.view.base + fb.rva + k.offset;
            } else if (byLine) {
                v.truth = PlaceByLine(a, fa, k.offset, b, fb, *lines);
            } else {
                const int j = AlignedInstruction(a, fa, b, fb, 4);
                if (j >= 0) v.truth = b.view.base + fb.rva + Instructions(b, fb)[j];
            }
            if (byLine && v.truth && (v.unchanged || !k.fifth)) {
                ++s.lineChecked;
                const uint32_t byRank = PlaceByLine(a, fa, k.offset, b, fb, *lines);
                s.lineAgrees += byRank == v.truth;
                s.lineElsewhere += byRank && byRank != v.truth;
                if (byRank != v.truth && std::getenv("ZT_SHOW_LINE_RULE"))
                    std::printf("line rule: %s%s %s: %08X, the code says %08X\n", fa.name.c_str(),
                                k.fifth ? " 5th" : "", v.unchanged ? "unchanged" : "changed", byRank, v.truth);
            }
        } else {
            ++s.noCounterpart;
        }
        v.what = v.unchanged ? Verdict::kSame : v.truth ? Verdict::kKept : Verdict::kGone;
        if (v.unchanged) ++s.unchanged;
        switch (o.kind) {
        case Outcome::kNoPattern: ++s.noPattern; break;
        case Outcome::kNotFound: ++s.notFound; break;
        case Outcome::kAmbiguous: ++s.ambiguous; break;
        case Outcome::kNotPlaced: ++s.notPlaced; break;
        case Outcome::kPlaced:
            if (v.truth && o.address == v.truth) {
                v.kind = Verdict::kCorrect;
                ++s.correct;
                if (v.unchanged) ++s.unchangedCorrect;
            } else {
                v.kind = Verdict::kWrong;
                ++s.wrong;
                if (known) {
                    const Function& fb = b.functions[counterpart->second];
                    if (o.address - b.view.base - fb.rva < fb.size) ++s.wrongSameFunction;
                    if (byLine && !v.unchanged) {
                        const std::vector<uint32_t> starts = Instructions(a, fa);
                        const size_t index = std::find(starts.begin(), starts.end(), k.offset) - starts.begin();
                        const int j = AlignedInstruction(a, fa, b, fb, index);
                        aligned = j >= 0 && o.address == b.view.base + fb.rva + Instructions(b, fb)[j];
                    }
                }
            }
            break;
        }
        Tally& t = v.what == Verdict::kSame ? s.same : v.what == Verdict::kKept ? s.kept : s.gone;
        Count(&t, o.kind, v.kind);
        t.wrongAligned += aligned;
        v.aligned = aligned;
        verdicts.push_back(v);
    }
    return verdicts;
}

void Print(const char* what, const Score& s) {
    auto pct = [](size_t a, size_t b) { return b ? 100.0 * double(a) / double(b) : 0.0; };
    const size_t unplaced = s.notFound + s.ambiguous + s.notPlaced + s.noPattern;
    char split[160];
    if (s.notPlaced)
        std::snprintf(split, sizeof split, "%zu not placed, %zu without pattern", s.notPlaced, s.noPattern);
    else
        std::snprintf(split, sizeof split, "%zu not found, %zu ambiguous, %zu without pattern", s.notFound,
                      s.ambiguous, s.noPattern);
    std::printf("%-18s %6zu bookmarks: correct %6zu (%5.1f %%), wrong %4zu (%5.2f %%), not placed %6zu (%5.1f %%: "
                "%s)\n",
                what, s.total, s.correct, pct(s.correct, s.total), s.wrong, pct(s.wrong, s.total), unplaced,
                pct(unplaced, s.total), split);
    std::printf("%-18s unchanged functions: %zu bookmarks, %zu correct (%5.1f %%); wrong in the same function %zu; "
                "no counterpart in B %zu; not unique in A %zu\n",
                "", s.unchanged, s.unchangedCorrect, pct(s.unchangedCorrect, s.unchanged), s.wrongSameFunction,
                s.noCounterpart, s.notUniqueAtExport);
}

void PrintClasses(const Score& s) {
    auto pct = [](size_t a, size_t b) { return b ? 100.0 * double(a) / double(b) : 0.0; };
    const struct {
        const char* name;
        const Tally& t;
    } rows[] = {{"unchanged routines", s.same},
                {"changed, kept", s.kept},
                {"changed, gone", s.gone}};
    for (const auto& row : rows) {
        const Tally& t = row.t;
        std::printf("%-18s %6zu bookmarks: correct %6zu (%5.1f %%), wrong %4zu (%5.2f %%; %zu where the routine's "
                    "instructions line up), not placed %6zu (%zu not found, %zu ambiguous, %zu other)\n",
                    row.name, t.total, t.correct, pct(t.correct, t.total), t.wrong, pct(t.wrong, t.total),
                    t.wrongAligned, t.total - t.correct - t.wrong, t.notFound, t.ambiguous, t.notPlaced);
    }
    if (s.lineChecked)
        std::printf("%-18s of %zu bookmarks whose place the code tells (unchanged routines, entries), the line rule "
                    "puts %zu there, %zu elsewhere, %zu nowhere (their line changed, or has no line)\n",
                    "", s.lineChecked, s.lineAgrees, s.lineElsewhere, s.lineChecked - s.lineAgrees - s.lineElsewhere);
}

size_t CodeBytes(const Build& m) {
    size_t bytes = 0;
    for (size_t r = 0; r < m.facts.codeCount; ++r) bytes += m.facts.code[r].end - m.facts.code[r].begin;
    return bytes;
}

}  // namespace rebuild
