// Bookmarks carried from one build of a module to another through the
// plug-in, as a user does it: build A mapped into the debugged process, a
// bookmark toggled at each chosen instruction and named by its number, the
// JSON list exported from the plug-in menu; then a fresh plug-in with build B
// mapped at another base, the list imported, and the host's table read back.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "host/plugin_fixture.h"
#include "host/temp_folder.h"
#include "rebuild_score.h"

class RebuildRoundTrip : public PluginTest {
protected:
    struct Carried {
        std::vector<rebuild::Outcome> outcomes;  // per bookmark, from the host's table after the import
        size_t placedActive = 0;
        size_t placedWithoutPattern = 0;         // placed by offset: the entry had no pattern
        double exportSeconds = 0;
        double importSeconds = 0;
        size_t listBytes = 0;                    // the JSON list's size
        size_t placesBytes = 0;                  // of it, the patterns' old places ("pattern_places")
        size_t callersBytes = 0;                 // and their callers ("caller_patterns", "caller_positions")
        size_t withCallers = 0;                  // entries with callers
        size_t alignBytes = 0;                   // and the keys of their routines ("align_keys")
        size_t targetsBytes = 0;                 // and what their wildcards point to ("pointer_targets")
        size_t withTargets = 0;                  // entries with those
        std::string status;                      // the import's status line
        size_t patternBytes = 0;                 // of it, the three pattern fields with their commas
    };

    // The module is called `name` in both runs; `lean`: the host's lean
    // tables (no guard pages), for thousands of bookmarks; `rewrite`, when
    // given, makes the list that is imported of the one exported.
    Carried Carry(const rebuild::Build& a, const rebuild::Build& b, const std::vector<rebuild::Bookmark>& marks,
                  const std::string& name, bool lean,
                  const std::function<std::string(const std::string&)>& rewrite = nullptr);

    sim::TempFolder folder_;
};
