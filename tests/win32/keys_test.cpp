// Keys on whichever host this program is built for (host_driver.h), as the
// window procedure sees them: Windows' key messages with Windows' lParam
// (repeat count 1, the PC keyboard's scan code, the extended-key flag, Alt
// as the context code, the previous state, the transition), and the
// default handling of Alt-F4. Windows' behaviour with Alt's own release is
// in host/common/win32/keyboard.h.
#include <gtest/gtest.h>

#include <vector>

#include "platform/win32_subset.h"
#include "tests/win32/windowing_fixture.h"

namespace {

using namespace windowing_test;
using host_driver::Key;

class Keys : public Windowing {
protected:
    static void press(HWND window, Key key, bool alt = false, bool repeat = false)
    {
        host_driver::key(window, key, true, alt, repeat);
    }
    static void release(HWND window, Key key, bool alt = false)
    {
        host_driver::key(window, key, false, alt);
    }

    // What the procedure saw against what Windows sends, call by call.
    static void expect_calls(const std::vector<Call>& expected)
    {
        ASSERT_EQ(calls.size(), expected.size());
        for (size_t i = 0; i < expected.size(); ++i) {
            EXPECT_EQ(calls[i].window, expected[i].window) << i;
            EXPECT_EQ(calls[i].message, expected[i].message) << i;
            EXPECT_EQ(calls[i].wparam, expected[i].wparam) << i;
            EXPECT_EQ(static_cast<uint32_t>(calls[i].lparam),
                      static_cast<uint32_t>(expected[i].lparam))
                << i;
        }
    }

    static LPARAM bits(uint32_t value) { return static_cast<LPARAM>(static_cast<int32_t>(value)); }
};

TEST_P(Keys, KeysArriveAsWindowsKeyMessages)
{
    HWND window = make_window();
    ASSERT_NE(window, nullptr);
    press(window, Key::Escape);
    press(window, Key::Escape, false, true);
    release(window, Key::Escape);
    press(window, Key::A);
    press(window, Key::Return);
    press(window, Key::KeypadEnter);
    press(window, Key::F10);
    press(window, Key::Unmapped);  // no virtual key: dropped
    dispatch_waiting();

    expect_calls({
        {window, WM_KEYDOWN, VK_ESCAPE, bits(0x00010001)},
        {window, WM_KEYDOWN, VK_ESCAPE, bits(0x40010001)},  // auto-repeat: was down
        {window, WM_KEYUP, VK_ESCAPE, bits(0xC0010001)},
        {window, WM_KEYDOWN, 'A', bits(0x001E0001)},
        {window, WM_KEYDOWN, VK_RETURN, bits(0x001C0001)},
        {window, WM_KEYDOWN, VK_RETURN, bits(0x011C0001)},  // keypad Enter: extended
        {window, WM_SYSKEYDOWN, VK_F10, bits(0x00440001)},  // the menu key
    });
    EXPECT_TRUE(host_driver::has_surface(window)) << "no key closes by itself";
}

// Alt-Enter from either Enter key is WM_SYSKEYDOWN VK_RETURN with the
// context code, as Windows sends it; keypad Enter is told apart by its
// extended-key flag only.
TEST_P(Keys, EnterWithAltIsASystemKeyFromEitherEnter)
{
    HWND window = make_window();
    ASSERT_NE(window, nullptr);
    press(window, Key::LeftAlt, true);
    press(window, Key::KeypadEnter, true);
    release(window, Key::KeypadEnter, true);
    press(window, Key::Return, true);
    release(window, Key::LeftAlt, false);
    dispatch_waiting();

    expect_calls({
        {window, WM_SYSKEYDOWN, VK_MENU, bits(0x20380001)},
        {window, WM_SYSKEYDOWN, VK_RETURN, bits(0x211C0001)},
        {window, WM_SYSKEYUP, VK_RETURN, bits(0xE11C0001)},
        {window, WM_SYSKEYDOWN, VK_RETURN, bits(0x201C0001)},
        {window, WM_KEYUP, VK_MENU, bits(0xC0380001)},  // another key went down with it
    });
}

TEST_P(Keys, AltReleasedAloneIsASystemKeyAndAfterAnotherKeyIsNot)
{
    HWND window = make_window();
    ASSERT_NE(window, nullptr);
    press(window, Key::LeftAlt, true);
    press(window, Key::LeftAlt, true, true);  // held: still alone
    release(window, Key::LeftAlt, false);
    press(window, Key::RightAlt, true);
    release(window, Key::RightAlt, false);
    press(window, Key::LeftAlt, true);
    press(window, Key::A, true);
    release(window, Key::A, true);
    release(window, Key::LeftAlt, false);
    press(window, Key::LeftAlt, true);  // alone again
    release(window, Key::LeftAlt, false);
    dispatch_waiting();

    expect_calls({
        {window, WM_SYSKEYDOWN, VK_MENU, bits(0x20380001)},
        {window, WM_SYSKEYDOWN, VK_MENU, bits(0x60380001)},
        {window, WM_SYSKEYUP, VK_MENU, bits(0xC0380001)},
        {window, WM_SYSKEYDOWN, VK_MENU, bits(0x21380001)},  // the right Alt: extended
        {window, WM_SYSKEYUP, VK_MENU, bits(0xC1380001)},
        {window, WM_SYSKEYDOWN, VK_MENU, bits(0x20380001)},
        {window, WM_SYSKEYDOWN, 'A', bits(0x201E0001)},
        {window, WM_SYSKEYUP, 'A', bits(0xE01E0001)},
        {window, WM_KEYUP, VK_MENU, bits(0xC0380001)},
        {window, WM_SYSKEYDOWN, VK_MENU, bits(0x20380001)},
        {window, WM_SYSKEYUP, VK_MENU, bits(0xC0380001)},
    });
}

TEST_P(Keys, AltF4ClosesThroughTheDefaultHandling)
{
    for (Key alt : {Key::LeftAlt, Key::RightAlt}) {
        calls.clear();
        HWND window = make_window();
        ASSERT_NE(window, nullptr);
        press(window, alt, true);
        press(window, Key::F4, true);
        dispatch_waiting();
        EXPECT_EQ(messages_seen(),
                  (std::vector<UINT>{WM_SYSKEYDOWN, WM_SYSKEYDOWN, WM_CLOSE, WM_DESTROY}))
            << "with the " << (alt == Key::LeftAlt ? "left" : "right") << " Alt";
        EXPECT_FALSE(host_driver::has_surface(window));
        release(window, Key::F4, true);  // to a window that is gone: dropped
        release(window, alt, false);
        dispatch_waiting();
        EXPECT_EQ(calls.size(), 4u);
    }
}

TEST_P(Keys, F4WithoutAltAndHeldAltF4LeaveTheWindowOpen)
{
    HWND window = make_window();
    ASSERT_NE(window, nullptr);
    press(window, Key::F4);
    press(window, Key::F4, true, true);
    dispatch_waiting();
    EXPECT_EQ(messages_seen(), (std::vector<UINT>{WM_KEYDOWN, WM_SYSKEYDOWN}));
    // As Windows has it, without the context code (no window had the
    // keyboard focus) F4 is no Alt-F4 either.
    DefWindowProcA(window, WM_SYSKEYDOWN, VK_F4, bits(0x003E0001));
    dispatch_waiting();
    EXPECT_EQ(calls.size(), 2u);
    EXPECT_TRUE(host_driver::has_surface(window));
}

INSTANTIATE_TEST_SUITE_P(Hosts, Keys, testing::ValuesIn(host_driver::variants()), variant_name);

}  // namespace
