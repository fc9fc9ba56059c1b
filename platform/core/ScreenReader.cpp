#include "platform/core/ScreenReader.h"

#include "platform/Text.h"

namespace platform {

namespace {

// Runs of spaces, the ideographic one too, that space a caption out on the screen are read as one.
std::string oneSpaced(std::string_view text) {
    constexpr std::string_view Ideographic = "\u3000";
    std::string out;
    for (std::size_t i = 0; i < text.size();) {
        const bool wide = text.substr(i, Ideographic.size()) == Ideographic;
        if (wide || text[i] == ' ') {
            if (!out.empty() && out.back() != ' ') out += ' ';
            i += wide ? Ideographic.size() : 1;
            continue;
        }
        out += text[i++];
    }
    if (!out.empty() && out.back() == ' ') out.pop_back();
    return out;
}

// The part of a hint after "|", or the whole hint when it has none.
std::string_view longHint(std::string_view hint) {
    const auto bar = hint.find('|');
    return bar == std::string_view::npos ? hint : hint.substr(bar + 1);
}

} // namespace

ReaderView readerView(const ControlState& c) {
    ReaderView v;
    const std::string_view shortPart = shortHint(c.hint);
    bool shortPartInName = false;
    switch (c.kind) {
    case Kind::Label: {
        v.role = ReaderRole::Text;
        v.name = spokenText(c.text, true);
        if ((c.style & ShowHint) && !shortPart.empty()) {
            v.name = v.name.empty() ? std::string(shortPart) : v.name + ' ' + std::string(shortPart);
            shortPartInName = true;
        }
        break;
    }
    case Kind::Image:
        if (shortPart.empty()) return v;
        v.role = ReaderRole::Picture;
        v.name = std::string(shortPart);
        return v;
    case Kind::ProgressBar:
        v.role = ReaderRole::ProgressBar;
        v.name = std::string(shortPart);
        return v;
    case Kind::RadioGroup:
        v.role = ReaderRole::RadioGroup;
        v.name = spokenText(c.text, true);
        return v;
    case Kind::Button:
        v.role = ReaderRole::SystemButton;
        v.name = spokenText(c.text, true);
        return v;
    case Kind::Panel:
        if (!c.clickHandler) return v;
        v.role = ReaderRole::Button;
        shortPartInName = (c.style & NamedByHint) != 0;
        v.name = shortPartInName ? std::string(shortPart) : oneSpaced(spokenText(c.text, true));
        v.disabled = !c.enabled;
        v.toggle = (c.style & Toggle) != 0;
        v.checked = v.toggle && c.checked;
        break;
    }
    // The long part of the hint describes, unless it is the very words the name already says.
    const std::string_view described = longHint(c.hint);
    if ((v.role == ReaderRole::Button || (c.style & ShowHint)) &&
        !(shortPartInName && described == shortPart))
        v.description = std::string(described);
    return v;
}

} // namespace platform
