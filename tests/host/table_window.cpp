#include "table_window.h"

#include "main_window.h"
#include "sorted_data.h"
#include "violations.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <deque>
#include <map>

namespace sim {
namespace {

std::vector<ClassRegistration> g_registrations;
std::vector<std::string> g_unregistrations;
std::vector<QuickTableCall> g_quickTables;
std::vector<TableFunctionCall> g_tableCalls;
std::deque<int> g_popupChoices;
std::vector<PopupShown> g_popups;
std::deque<std::function<void()>> g_popupActions;
std::map<UINT, int> g_answers;
std::map<const HostTable*, int> g_firstShown;
bool g_failRegister = false;
int g_classCounter = 0;

// Registrations still in force.
ClassRegistration* LiveClass(const std::string& name) {
    for (auto& r : g_registrations) {
        if (r.result >= 0 && r.name == name && IsClassRegistered(name)) return &r;
    }
    return nullptr;
}

std::vector<MenuEntry> ReadMenu(HMENU menu) {
    std::vector<MenuEntry> entries;
    int count = GetMenuItemCount(menu);
    for (int i = 0; i < count; ++i) {
        char text[256] = "";
        GetMenuStringA(menu, UINT(i), text, sizeof text, MF_BYPOSITION);
        MenuEntry entry{GetMenuItemID(menu, i), GetMenuState(menu, UINT(i), MF_BYPOSITION), text};
        entries.push_back(entry);
    }
    return entries;
}

// An arrow key: the selection moves by a row and stays in view.
void MoveSelection(HostTable* table, int step) {
    const int rows = int(SortedItems(&table->sorted).size());
    if (rows == 0) return;
    int& selected = table->sorted.selectedRow;
    selected = std::max(0, std::min(rows - 1, selected < 0 ? 0 : selected + step));
    int& first = g_firstShown[table];
    if (selected < first) first = selected;
    if (selected >= first + kShownRows) first = selected - kShownRows + 1;
}

}  // namespace

int FirstShownRow(const HostTable* table) {
    auto found = g_firstShown.find(table);
    return found == g_firstShown.end() ? 0 : found->second;
}

void FailRegisterClass() { g_failRegister = true; }
const std::vector<ClassRegistration>& ClassRegistrations() { return g_registrations; }
const std::vector<std::string>& ClassUnregistrations() { return g_unregistrations; }

bool IsClassRegistered(const std::string& name) {
    for (const auto& r : g_registrations) {
        WNDCLASSA wc;
        if (r.result >= 0 && r.name == name && GetClassInfoA(r.instance, name.c_str(), &wc)) return true;
    }
    return false;
}

const std::vector<QuickTableCall>& QuickTableCalls() { return g_quickTables; }
const std::vector<TableFunctionCall>& TableFunctionCalls() { return g_tableCalls; }

int CountTableFunction(UINT message) {
    return int(std::count_if(g_tableCalls.begin(), g_tableCalls.end(),
                             [message](const TableFunctionCall& c) { return c.message == message; }));
}

void ChoosePopupItem(int id) { g_popupChoices.push_back(id); }
const std::vector<PopupShown>& PopupsShown() { return g_popups; }
void WhilePopupShown(std::function<void()> action) { g_popupActions.push_back(std::move(action)); }
void AnswerTableFunction(UINT message, int result) { g_answers[message] = result; }

void ResetTableWindows() {
    for (const auto& r : g_registrations) {
        if (r.result >= 0) UnregisterClassA(r.name.c_str(), r.instance);
    }
    g_registrations.clear();
    g_unregistrations.clear();
    g_quickTables.clear();
    g_tableCalls.clear();
    g_popupChoices.clear();
    g_popups.clear();
    g_popupActions.clear();
    g_answers.clear();
    g_firstShown.clear();
    g_failRegister = false;
    g_classCounter = 0;
}

}  // namespace sim

using namespace sim;

extern "C" int __cdecl HostRegisterClass(char* className, const char* iconName, HINSTANCE instance,
                                         WNDPROC procedure) {
    ClassRegistration registration{"", instance, procedure, iconName != nullptr, -1};
    if (!g_failRegister && className != nullptr && procedure != nullptr) {
        char name[32];
        std::snprintf(name, sizeof name, "ZtTable%d", ++g_classCounter);
        WNDCLASSA wc{};
        wc.style = CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS;
        wc.lpfnWndProc = procedure;
        wc.hInstance = instance;
        wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
        wc.lpszClassName = name;
        if (RegisterClassA(&wc)) {
            std::memcpy(className, name, std::strlen(name) + 1);
            registration.name = name;
            registration.result = 0;
        }
    }
    g_failRegister = false;
    g_registrations.push_back(registration);
    return registration.result;
}

extern "C" int __cdecl HostUnregisterClass(const char* className) {
    std::string name = className ? className : "";
    g_unregistrations.push_back(name);
    ClassRegistration* live = LiveClass(name);
    if (live == nullptr) {
        ReportViolation("HostUnregisterClass(\"" + name + "\") of a class the host did not register");
        return -1;
    }
    return UnregisterClassA(name.c_str(), live->instance) ? 0 : -1;
}

extern "C" HWND __cdecl HostQuickTableWindow(HostTable* table, int lines, int columns, const char* windowClass,
                                             const char* title) {
    QuickTableCall call{table, lines, columns, windowClass ? windowClass : "", title ? title : "", false, nullptr};
    if (table != nullptr && table->window != nullptr) {
        if (IsIconic(table->window)) SendMessageA(MdiClient(), WM_MDIRESTORE, WPARAM(table->window), 0);
        SendMessageA(MdiClient(), WM_MDIACTIVATE, WPARAM(table->window), 0);
        call.window = table->window;
    } else if (table != nullptr) {
        ClassRegistration* live = LiveClass(call.className);
        if (live == nullptr) ReportViolation("HostQuickTableWindow with a class the host did not register");
        HWND window = CreateMDIWindowA(call.className.c_str(), call.title.c_str(), WS_VISIBLE | WS_OVERLAPPEDWINDOW,
                                       20, 20, 760, 300, MdiClient(), live ? live->instance : nullptr, 0);
        table->window = window;
        call.created = window != nullptr;
        call.window = window;
    }
    g_quickTables.push_back(call);
    return call.window;
}

extern "C" int __cdecl HostTableFunction(HostTable* table, HWND window, UINT message, WPARAM wParam,
                                         LPARAM lParam) {
    g_tableCalls.push_back({table, window, message, wParam, lParam});
    if (table == nullptr) return 0;
    if (message == WM_DESTROY && window == table->window) table->window = nullptr;
    if (message == WM_KEYDOWN && (wParam == VK_DOWN || wParam == VK_UP)) MoveSelection(table, wParam == VK_DOWN ? 1 : -1);
    if (message == kTablePopupMessage) {
        HMENU menu = reinterpret_cast<HMENU>(lParam);
        PopupShown shown{menu != nullptr, menu ? ReadMenu(menu) : std::vector<MenuEntry>{}, 0};
        if (!g_popupActions.empty()) {
            std::function<void()> action = std::move(g_popupActions.front());
            g_popupActions.pop_front();
            action();
        }
        if (!g_popupChoices.empty()) {
            shown.chosen = g_popupChoices.front();
            g_popupChoices.pop_front();
        }
        g_popups.push_back(shown);
        return shown.chosen;
    }
    auto answer = g_answers.find(message);
    return answer == g_answers.end() ? 0 : answer->second;
}
