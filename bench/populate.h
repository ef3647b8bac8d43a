#pragma once

#include "platform/prompter.h"

#include <filesystem>

// Answers every message with its first button.
class SilentPrompter : public Prompter {
public:
    MessageAnswer Show(MessageKind, const std::string&, MessageButtons buttons,
                       const std::string&) override {
        return buttons == MessageButtons::Yes ? MessageAnswer::Yes : MessageAnswer::Ok;
    }
};

// Makes a database with the seed areas and `records` contacts spread over the 34
// provinces, each with its own insertion time.
void Populate(const std::filesystem::path& db, int records);
