#pragma once

#include <string>
#include <string_view>
#include <vector>

// Small text helpers shared by the settings and registry files. Text is bytes (GB18030 or
// ASCII); nothing here looks at characters beyond single bytes.

// Without the blanks (spaces, tabs, stray carriage returns) at either end.
std::string Trim(std::string_view text);
// Without every byte up to 0x20 at either end. GB18030's lead and trail bytes are all above
// 0x20, so this never cuts a character.
std::string TrimBlanksAndControls(std::string_view text);
// ASCII letters compared without regard to case, every other byte exactly.
bool EqualsIgnoreCase(std::string_view a, std::string_view b);

// One line of a text file with the ending it had: "\n", "\r\n", or "" for a last line
// without one. Keeping endings per line lets a rewrite give back every untouched line
// byte for byte, whatever mix of endings the file had.
struct TextLine {
    std::string text;
    std::string eol;
};
std::vector<TextLine> SplitLines(std::string_view text);
std::string JoinLines(const std::vector<TextLine>& lines);
// The ending most lines use, for lines a rewrite adds; "\n" when there is a tie or no
// line has an ending. A file's own convention wins over the line next to the insertion,
// which may be an odd one pasted in.
std::string PrevalentLineEnding(const std::vector<TextLine>& lines);
// Appends a line, first giving a last line without an ending the prevalent one, so the
// new line does not run into it.
void AppendLine(std::vector<TextLine>& lines, std::string text);
