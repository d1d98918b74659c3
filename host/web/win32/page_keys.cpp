#include "host/web/win32/page_keys.h"

#include <string_view>

#include "host/common/win32/host.h"

namespace win32 {
namespace {

struct NamedKey {
    std::string_view code;
    UINT virtual_key;
    bool extended;
};

constexpr NamedKey kNamedKeys[] = {
    {"Escape", VK_ESCAPE, false},
    {"Enter", VK_RETURN, false},
    {"NumpadEnter", VK_RETURN, true},
    {"Space", VK_SPACE, false},
    {"Tab", VK_TAB, false},
    {"Backspace", VK_BACK, false},
    {"Pause", VK_PAUSE, false},
    {"ShiftLeft", VK_SHIFT, false},
    {"ShiftRight", VK_SHIFT, false},
    {"ControlLeft", VK_CONTROL, false},
    {"ControlRight", VK_CONTROL, true},
    {"AltLeft", VK_MENU, false},
    {"AltRight", VK_MENU, true},
    {"ArrowLeft", VK_LEFT, true},
    {"ArrowRight", VK_RIGHT, true},
    {"ArrowUp", VK_UP, true},
    {"ArrowDown", VK_DOWN, true},
    {"PageUp", VK_PRIOR, true},
    {"PageDown", VK_NEXT, true},
    {"Home", VK_HOME, true},
    {"End", VK_END, true},
    {"Insert", VK_INSERT, true},
    {"Delete", VK_DELETE, true},
};

// "KeyA" to "KeyZ", "Digit0" to "Digit9", "F1" to "F12": Windows' codes
// are the upper-case letters, the digits and VK_F1 onwards.
UINT numbered_key(std::string_view code)
{
    if (code.size() == 4 && code.starts_with("Key") && code[3] >= 'A' && code[3] <= 'Z') {
        return static_cast<UINT>(code[3]);
    }
    if (code.size() == 6 && code.starts_with("Digit") && code[5] >= '0' && code[5] <= '9') {
        return static_cast<UINT>(code[5]);
    }
    if (code.size() >= 2 && code.size() <= 3 && code[0] == 'F') {
        UINT number = 0;
        for (const char digit : code.substr(1)) {
            if (digit < '0' || digit > '9') {
                return 0;
            }
            number = number * 10 + static_cast<UINT>(digit - '0');
        }
        return number >= 1 && number <= 12 ? VK_F1 + number - 1 : 0;
    }
    return 0;
}

}  // namespace

KeyEvent page_key_event(const EmscriptenKeyboardEvent& event, bool down)
{
    const std::string_view code = event.code;
    KeyEvent key;
    key.virtual_key = numbered_key(code);
    for (const NamedKey& named : kNamedKeys) {
        if (named.code == code) {
            key.virtual_key = named.virtual_key;
            key.extended = named.extended;
        }
    }
    key.down = down;
    key.repeat = event.repeat != 0;
    key.alt = event.altKey != 0;
    key.time = message_time();  // the event's own stamp is on another clock
    return key;
}

}  // namespace win32
