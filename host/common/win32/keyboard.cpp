#include "host/common/win32/keyboard.h"

#include <string_view>

namespace win32 {
namespace {

constexpr DWORD kExtended = 0x0100;  // KF_EXTENDED

// Whether Alt went down with no other key after it: its release is then a
// system key's (see keyboard.h).
bool alt_alone = false;

// The letters' scan codes run along the rows of a PC keyboard.
UINT letter_scan_code(char letter)
{
    struct Row {
        std::string_view letters;
        UINT first;
    };
    for (const Row& row : {Row{"QWERTYUIOP", 0x10}, Row{"ASDFGHJKL", 0x1E}, Row{"ZXCVBNM", 0x2C}}) {
        const size_t at = row.letters.find(letter);
        if (at != std::string_view::npos) {
            return row.first + static_cast<UINT>(at);
        }
    }
    return 0;
}

}  // namespace

UINT scan_code(UINT virtual_key)
{
    if (virtual_key >= 'A' && virtual_key <= 'Z') {
        return letter_scan_code(static_cast<char>(virtual_key));
    }
    if (virtual_key >= '1' && virtual_key <= '9') {
        return 0x02 + (virtual_key - '1');
    }
    if (virtual_key >= VK_F1 && virtual_key <= VK_F10) {
        return 0x3B + (virtual_key - VK_F1);
    }
    switch (virtual_key) {
    case '0':
        return 0x0B;
    case VK_F10 + 1:  // VK_F11
        return 0x57;
    case VK_F12:
        return 0x58;
    case VK_ESCAPE:
        return 0x01;
    case VK_BACK:
        return 0x0E;
    case VK_TAB:
        return 0x0F;
    case VK_RETURN:
        return 0x1C;
    case VK_CONTROL:
        return 0x1D;
    case VK_SHIFT:
        return 0x2A;
    case VK_MENU:
        return 0x38;
    case VK_SPACE:
        return 0x39;
    case VK_PAUSE:
        return 0x45;
    case VK_HOME:
        return 0x47;
    case VK_UP:
        return 0x48;
    case VK_PRIOR:
        return 0x49;
    case VK_LEFT:
        return 0x4B;
    case VK_RIGHT:
        return 0x4D;
    case VK_END:
        return 0x4F;
    case VK_DOWN:
        return 0x50;
    case VK_NEXT:
        return 0x51;
    case VK_INSERT:
        return 0x52;
    case VK_DELETE:
        return 0x53;
    default:
        return 0;
    }
}

bool key_message(const KeyEvent& key, MSG* message)
{
    const UINT code = key.virtual_key;
    if (code == 0) {
        return false;
    }
    bool system = key.alt || code == VK_F10;  // Windows' "system" keys: with Alt held, and F10
    if (code == VK_MENU) {
        if (key.down && !key.repeat) {
            alt_alone = true;
        } else if (!key.down) {
            system = system || alt_alone;
            alt_alone = false;
        }
    } else if (key.down) {
        alt_alone = false;
    }

    DWORD flags = scan_code(code);
    if (key.extended) {
        flags |= kExtended;
    }
    if (key.alt) {
        flags |= KF_ALTDOWN;
    }
    if (!key.down || key.repeat) {
        flags |= KF_REPEAT;  // the key was down before this message
    }
    if (!key.down) {
        flags |= KF_UP;
    }

    *message = MSG{};
    if (key.down) {
        message->message = system ? WM_SYSKEYDOWN : WM_KEYDOWN;
    } else {
        message->message = system ? WM_SYSKEYUP : WM_KEYUP;
    }
    message->wParam = code;
    message->lParam = static_cast<LPARAM>(static_cast<int32_t>((flags << 16) | 1u));
    message->time = key.time;
    return true;
}

}  // namespace win32
