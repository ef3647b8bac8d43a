#include "platform/strings.h"

#include <algorithm>

namespace {

char LowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

template <typename IsBlank> std::string TrimWith(std::string_view text, IsBlank isBlank) {
    auto first = text.begin();
    auto last = text.end();
    while (first != last && isBlank(*first)) {
        ++first;
    }
    while (last != first && isBlank(*(last - 1))) {
        --last;
    }
    return std::string(first, last);
}

} // namespace

std::string Trim(std::string_view text) {
    return TrimWith(text, [](char c) { return c == ' ' || c == '\t' || c == '\r'; });
}

std::string TrimBlanksAndControls(std::string_view text) {
    return TrimWith(text, [](char c) { return static_cast<unsigned char>(c) <= 0x20; });
}

bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return LowerAscii(x) == LowerAscii(y);
           });
}

std::vector<TextLine> SplitLines(std::string_view text) {
    std::vector<TextLine> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t newline = text.find('\n', start);
        if (newline == std::string_view::npos) {
            lines.push_back({std::string(text.substr(start)), ""});
            break;
        }
        const bool crlf = newline > start && text[newline - 1] == '\r';
        const std::size_t end = crlf ? newline - 1 : newline;
        lines.push_back({std::string(text.substr(start, end - start)), crlf ? "\r\n" : "\n"});
        start = newline + 1;
    }
    return lines;
}

std::string JoinLines(const std::vector<TextLine>& lines) {
    std::string text;
    for (const TextLine& line : lines) {
        text += line.text;
        text += line.eol;
    }
    return text;
}

std::string PrevalentLineEnding(const std::vector<TextLine>& lines) {
    const auto crlf = std::count_if(lines.begin(), lines.end(),
                                    [](const TextLine& l) { return l.eol == "\r\n"; });
    const auto lf =
        std::count_if(lines.begin(), lines.end(), [](const TextLine& l) { return l.eol == "\n"; });
    return crlf > lf ? "\r\n" : "\n";
}

void AppendLine(std::vector<TextLine>& lines, std::string text) {
    const std::string eol = PrevalentLineEnding(lines);
    if (!lines.empty() && lines.back().eol.empty()) {
        lines.back().eol = eol;
    }
    lines.push_back({std::move(text), eol});
}
