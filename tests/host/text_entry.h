// The host's text entry prompt (HostGetTextAt), answered from a script.
// With nothing scripted the user cancels.
//
//   sim::ReplyText(text)     the next prompt is confirmed with this text
//   sim::ReplyCancel()       the next prompt is cancelled (-1)
//   sim::Prompts()           every prompt: title, initial text, letter, type, font, x, y
//   sim::WhilePrompting(action)  the next prompt runs action while it is open, before it
//                            is answered (the user's other doings meanwhile)
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace sim {

struct Prompt {
    std::string title;
    std::string initialText;
    int letter;
    int type;
    int fontIndex;
    int x;
    int y;
    int result;
};

void ReplyText(const std::string& text);
void ReplyCancel();
const std::vector<Prompt>& Prompts();
void WhilePrompting(std::function<void()> action);

void ResetTextEntry();

}  // namespace sim
