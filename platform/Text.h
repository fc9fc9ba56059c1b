#pragma once

// Text rules every backend and the forms share, over standard types only, so that each is written
// once and a backend only hands its toolkit's strings in and out.

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// UTF-8 and code points. A broken sequence is cut short rather than refused: the text comes from
// the program's own tables and from single typed keys, and a stray byte must never stop a drill.
std::string encode(char32_t ch);
std::string encode(std::u32string_view text);
std::u32string decode(std::string_view utf8);

// The byte "\" is drawn as a yen sign, as the Japanese faces the program was written for draw it;
// written as the yen sign itself it stays one in any face a desktop may substitute. The full-width
// backslash is left alone: every face draws it as a backslash.
std::string displayText(std::string_view utf8);

// A text as a screen reader should say it: lines joined by one space, the byte "\" as the yen sign
// it is drawn as, in a label's text the accelerator marks resolved ("&&" is one "&", a lone "&" is
// dropped), and no space at either end, which some readers pause on.
std::string spokenText(std::string_view utf8, bool accelerators);

// The part of a hint before "|": what a tool-tip shows and what names a control for a reader.
std::string_view shortHint(std::string_view hint);

// A label's lines as they show, in `displayText`'s characters: "\r\n" starts a new line, "&&" shows
// one "&", and a lone "&" is left out and underlines the character after it. A word-wrapped label
// breaks a line wherever the next character would pass its width as `measure` gives it (Japanese
// text has no spaces to break at); its lines carry no underline.
struct LabelLine {
    std::u32string text;
    int underline = -1; // the index of the underlined character, or -1
};
using Measure = std::function<double(std::u32string_view)>;
std::vector<LabelLine> labelLines(std::string_view utf8, bool wrap, int width, const Measure& measure);

// A label takes the width of its widest line, or of one space where its only line is empty so that
// centring it is still defined, or its design width where it wraps; one character height a line.
struct LabelSize {
    int width, height;
};
LabelSize labelSize(const std::vector<LabelLine>& lines, bool wrap, int designWidth, int lineHeight,
                    const Measure& measure);

} // namespace platform
