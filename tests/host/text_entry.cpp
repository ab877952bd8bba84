#include "text_entry.h"

#include "host/host.h"

#include <cstring>
#include <deque>

namespace sim {
namespace {

constexpr size_t kMaxText = 255;

struct Reply {
    bool cancel;
    std::string text;
};

std::deque<Reply> g_replies;
std::vector<Prompt> g_prompts;
std::deque<std::function<void()>> g_actions;

}  // namespace

void ReplyText(const std::string& text) { g_replies.push_back({false, text}); }
void ReplyCancel() { g_replies.push_back({true, {}}); }
const std::vector<Prompt>& Prompts() { return g_prompts; }
void WhilePrompting(std::function<void()> action) { g_actions.push_back(std::move(action)); }

void ResetTextEntry() {
    g_replies.clear();
    g_prompts.clear();
    g_actions.clear();
}

}  // namespace sim

using namespace sim;

extern "C" int __cdecl HostGetTextAt(const char* title, char* text, int letter, int type, int fontIndex, int x,
                                     int y) {
    Prompt prompt{title ? title : "", text ? std::string(text, strnlen(text, kMaxText + 1)) : "", letter, type,
                  fontIndex, x, y, -1};
    if (!g_actions.empty()) {
        std::function<void()> action = std::move(g_actions.front());
        g_actions.pop_front();
        action();
    }
    if (!g_replies.empty() && !g_replies.front().cancel && text != nullptr) {
        std::string answer = g_replies.front().text.substr(0, kMaxText);
        std::memcpy(text, answer.c_str(), answer.size() + 1);
        prompt.result = int(answer.size());
    }
    if (!g_replies.empty()) g_replies.pop_front();
    g_prompts.push_back(prompt);
    return prompt.result;
}
