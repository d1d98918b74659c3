#include "host/common/win32/message_queue.h"

#include <gtest/gtest.h>

namespace {

using win32::MessageFilter;
using win32::MessageQueue;

HWND handle(uintptr_t number)
{
    return reinterpret_cast<HWND>(number);
}

MSG message(HWND window, UINT code, WPARAM wparam = 0)
{
    MSG made{};
    made.hwnd = window;
    made.message = code;
    made.wParam = wparam;
    return made;
}

// Takes every message the filter lets through, returning their codes in order.
std::vector<UINT> drain(MessageQueue& queue, const MessageFilter& filter = {})
{
    std::vector<UINT> codes;
    MSG taken{};
    while (queue.take(filter, true, &taken)) {
        codes.push_back(taken.message);
    }
    return codes;
}

TEST(MessageQueue, PostedMessagesComeBackInOrderAndPeekingKeepsThem)
{
    MessageQueue queue;
    queue.post(message(handle(1), WM_DESTROY, 7));
    queue.post(message(handle(1), WM_CLOSE));

    MSG peeked{};
    ASSERT_TRUE(queue.take({}, false, &peeked));
    EXPECT_EQ(peeked.message, static_cast<UINT>(WM_DESTROY));
    EXPECT_EQ(peeked.wParam, 7u);
    EXPECT_EQ(drain(queue), (std::vector<UINT>{WM_DESTROY, WM_CLOSE}));
    EXPECT_TRUE(queue.empty());
    EXPECT_FALSE(queue.take({}, true, &peeked));
}

TEST(MessageQueue, QuitFollowsEveryPostedMessageAndPrecedesInput)
{
    MessageQueue queue;
    queue.post_input(message(handle(1), WM_CLOSE));
    queue.post(message(handle(1), WM_DESTROY));
    queue.post_quit(3);
    // Posted after the quit request, still served before it, as on Windows.
    queue.post(message(handle(1), WM_NULL));

    MSG taken{};
    ASSERT_TRUE(queue.take({}, true, &taken));
    EXPECT_EQ(taken.message, static_cast<UINT>(WM_DESTROY));
    ASSERT_TRUE(queue.take({}, true, &taken));
    EXPECT_EQ(taken.message, static_cast<UINT>(WM_NULL));
    ASSERT_TRUE(queue.take({}, true, &taken));
    EXPECT_EQ(taken.message, static_cast<UINT>(WM_QUIT));
    EXPECT_EQ(taken.hwnd, nullptr);
    EXPECT_EQ(taken.wParam, 3u);
    // The quit is delivered once; then the input.
    EXPECT_EQ(drain(queue), (std::vector<UINT>{WM_CLOSE}));
}

TEST(MessageQueue, PeekingAtQuitLeavesItPending)
{
    MessageQueue queue;
    queue.post_quit(0);
    MSG taken{};
    ASSERT_TRUE(queue.take({}, false, &taken));
    EXPECT_EQ(taken.message, static_cast<UINT>(WM_QUIT));
    EXPECT_EQ(drain(queue), (std::vector<UINT>{WM_QUIT}));
}

TEST(MessageQueue, FiltersSelectByWindowAndRangeButQuitIgnoresTheRange)
{
    MessageQueue queue;
    queue.post(message(handle(1), WM_CLOSE));
    queue.post(message(handle(2), WM_DESTROY));
    queue.post(message(nullptr, WM_NULL));

    const MessageFilter second_window{handle(2), 0, 0};
    EXPECT_EQ(drain(queue, second_window), (std::vector<UINT>{WM_DESTROY}));

    const MessageFilter thread_only{reinterpret_cast<HWND>(static_cast<intptr_t>(-1)), 0, 0};
    EXPECT_EQ(drain(queue, thread_only), (std::vector<UINT>{WM_NULL}));

    queue.post_quit(0);
    const MessageFilter keys_only{nullptr, WM_KEYDOWN, WM_KEYUP};
    EXPECT_EQ(drain(queue, keys_only), (std::vector<UINT>{WM_QUIT}));

    queue.post_quit(0);
    const MessageFilter first_window{handle(1), 0, 0};
    EXPECT_EQ(drain(queue, first_window), (std::vector<UINT>{WM_CLOSE}))
        << "a window filter never yields the thread's quit";
    EXPECT_EQ(drain(queue), (std::vector<UINT>{WM_QUIT}));
}

TEST(MessageQueue, DiscardingAWindowDropsItsPostedAndInputMessagesOnly)
{
    MessageQueue queue;
    queue.post(message(handle(1), WM_DESTROY));
    queue.post(message(handle(2), WM_DESTROY));
    queue.post_input(message(handle(1), WM_CLOSE));
    queue.post_input(message(handle(2), WM_CLOSE));

    queue.discard_window(handle(1));

    MSG taken{};
    std::vector<HWND> windows;
    while (queue.take({}, true, &taken)) {
        windows.push_back(taken.hwnd);
    }
    EXPECT_EQ(windows, (std::vector<HWND>{handle(2), handle(2)}));
}

}  // namespace
