#pragma once

#include "platform/prompter.h"

#include <deque>
#include <string>
#include <vector>

// Answers message boxes from a script and remembers what was shown.
class ScriptedPrompter : public Prompter {
public:
    struct Shown {
        MessageKind kind;
        std::string text; // GBK
        MessageButtons buttons;
        std::string caption;
    };

    std::deque<MessageAnswer> answers;
    std::vector<Shown> shown;

    MessageAnswer Show(MessageKind kind, const std::string& text, MessageButtons buttons,
                       const std::string& caption = {}) override {
        shown.push_back({kind, text, buttons, caption});
        if (answers.empty()) {
            return MessageAnswer::Closed;
        }
        const MessageAnswer answer = answers.front();
        answers.pop_front();
        return answer;
    }
};
