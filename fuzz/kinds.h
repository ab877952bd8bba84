// The kinds of input, each one function that makes an input from the
// session's generator and drives the plug-in with it (kind_*.cpp). A new
// reader gets a new file and one line in Kinds().
#pragma once

#include <vector>

namespace fuzz {

class Session;

struct Kind {
    const char* name;
    void (*input)(Session& session);
};

void ExchangeFileInput(Session& session);      // kind_exchange.cpp
void ProjectRecordInput(Session& session);     // kind_project_record.cpp
void SettingsValueInput(Session& session);     // kind_settings.cpp
void X64dbgDatabaseInput(Session& session);    // kind_x64dbg.cpp
void JsonListInput(Session& session);          // kind_json_list.cpp
void ProgramXmlInput(Session& session);        // kind_program_xml.cpp
void HostileDebuggeeInput(Session& session);   // kind_hostile_debuggee.cpp

inline const std::vector<Kind>& Kinds() {
    static const std::vector<Kind> kinds = {
        {"exchange", ExchangeFileInput},
        {"project", ProjectRecordInput},
        {"settings", SettingsValueInput},
        {"x64dbg", X64dbgDatabaseInput},
        {"json", JsonListInput},
        {"xml", ProgramXmlInput},
        {"debuggee", HostileDebuggeeInput},
    };
    return kinds;
}

}  // namespace fuzz
