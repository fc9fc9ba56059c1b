#include "platform/Text.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace platform {

namespace {

constexpr char32_t Replacement = U'\uFFFD';

bool continuation(unsigned char byte) {
    return (byte & 0xC0) == 0x80;
}

} // namespace

std::string encode(char32_t ch) {
    std::string out;
    if (ch < 0x80) {
        out += static_cast<char>(ch);
    } else if (ch < 0x800) {
        out += static_cast<char>(0xC0 | (ch >> 6));
        out += static_cast<char>(0x80 | (ch & 0x3F));
    } else if (ch < 0x10000) {
        out += static_cast<char>(0xE0 | (ch >> 12));
        out += static_cast<char>(0x80 | ((ch >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (ch & 0x3F));
    } else if (ch < 0x110000) {
        out += static_cast<char>(0xF0 | (ch >> 18));
        out += static_cast<char>(0x80 | ((ch >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((ch >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (ch & 0x3F));
    } else {
        out += encode(Replacement);
    }
    return out;
}

std::string encode(std::u32string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char32_t ch : text)
        out += encode(ch);
    return out;
}

// A lead byte whose continuation bytes are missing, or a continuation byte with no lead, becomes
// one replacement character, and decoding goes on at the next byte that can start a character.
std::u32string decode(std::string_view utf8) {
    std::u32string out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size();) {
        const auto lead = static_cast<unsigned char>(utf8[i]);
        const std::size_t length = lead < 0x80    ? 1
                                   : lead >= 0xF0 ? 4
                                   : lead >= 0xE0 ? 3
                                   : lead >= 0xC0 ? 2
                                                  : 0;
        char32_t ch = length == 1   ? lead
                      : length == 2 ? (lead & 0x1F)
                      : length == 3 ? (lead & 0x0F)
                                    : (lead & 0x07);
        std::size_t k = 1;
        for (; length > 1 && k < length && i + k < utf8.size(); ++k) {
            const auto byte = static_cast<unsigned char>(utf8[i + k]);
            if (!continuation(byte)) break;
            ch = (ch << 6) | (byte & 0x3F);
        }
        if (length == 0 || k < length) {
            out += Replacement;
            i += length == 0 ? 1 : k;
            continue;
        }
        out += ch;
        i += length;
    }
    return out;
}

std::string displayText(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    for (char ch : utf8) {
        if (ch == '\\')
            out += "\u00A5";
        else
            out += ch;
    }
    return out;
}

std::string spokenText(std::string_view utf8, bool accelerators) {
    const std::string all = displayText(utf8);
    std::string out;
    out.reserve(all.size());
    for (std::size_t i = 0; i < all.size(); ++i) {
        const char ch = all[i];
        if (ch == '&' && accelerators) {
            if (i + 1 < all.size() && all[i + 1] == '&') {
                out += '&';
                ++i;
            }
            continue;
        }
        if (ch == '\r' && i + 1 < all.size() && all[i + 1] == '\n') {
            if (!out.empty() && out.back() != ' ') out += ' ';
            ++i;
            continue;
        }
        out += ch;
    }
    const std::size_t first = out.find_first_not_of(' ');
    if (first == std::string::npos) return {};
    return out.substr(first, out.find_last_not_of(' ') - first + 1);
}

std::string_view shortHint(std::string_view hint) {
    return hint.substr(0, hint.find('|'));
}

std::vector<LabelLine> labelLines(std::string_view utf8, bool wrap, int width, const Measure& measure) {
    std::vector<LabelLine> lines;
    const std::u32string all = decode(displayText(utf8));
    for (std::size_t start = 0;;) {
        const std::size_t end = std::min(all.find(U"\r\n", start), all.size());
        LabelLine line;
        for (std::size_t i = start; i < end; ++i) {
            if (all[i] != U'&') {
                line.text += all[i];
            } else if (i + 1 < end && all[i + 1] == U'&') {
                line.text += U'&';
                ++i;
            } else if (i + 1 < end && line.underline < 0) {
                line.underline = static_cast<int>(line.text.size());
            }
        }
        if (!wrap) {
            lines.push_back(std::move(line));
        } else {
            std::u32string current;
            for (char32_t ch : line.text) {
                if (!current.empty() && measure(current + ch) > width)
                    lines.push_back({std::exchange(current, {})});
                current += ch;
            }
            lines.push_back({current});
        }
        if (end == all.size()) return lines;
        start = end + 2;
    }
}

LabelSize labelSize(const std::vector<LabelLine>& lines, bool wrap, int designWidth, int lineHeight,
                    const Measure& measure) {
    const int height = lineHeight * static_cast<int>(lines.size());
    if (wrap) return {designWidth, height};
    double widest = 0;
    for (const LabelLine& line : lines)
        widest = std::max(widest, measure(line.text));
    if (lines.size() == 1 && lines.front().text.empty()) widest = measure(U" ");
    return {static_cast<int>(std::ceil(widest)), height};
}

} // namespace platform
