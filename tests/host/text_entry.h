// The host's text entry prompt (HostGetTextAt), answered from a script.
// With nothing scripted the user cancels.
//
//   sim::ReplyText(text)     the next prompt is confirmed with this text
//   sim::ReplyCancel()       the next prompt is cancelled (-1)
//   sim::Prompts()           every prompt: title, initial text, letter, type, font, x, y
#pragma once

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

void ResetTextEntry();

}  // namespace sim
