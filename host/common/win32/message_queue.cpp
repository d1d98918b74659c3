#include "host/common/win32/message_queue.h"

#include <algorithm>

namespace win32 {
namespace {

// PeekMessageA's hWnd value -1: only messages posted to the thread (hwnd null).
HWND const kThreadMessagesOnly = reinterpret_cast<HWND>(static_cast<intptr_t>(-1));

bool window_accepts(HWND filter, HWND window)
{
    if (filter == nullptr) {
        return true;
    }
    if (filter == kThreadMessagesOnly) {
        return window == nullptr;
    }
    return filter == window;
}

bool range_accepts(const MessageFilter& filter, UINT message)
{
    if (filter.first == 0 && filter.last == 0) {
        return true;
    }
    return message >= filter.first && message <= filter.last;
}

// Takes the first accepted message of one source.
bool take_from(std::deque<MSG>& source, const MessageFilter& filter, bool remove, MSG* out)
{
    const auto found = std::find_if(source.begin(), source.end(), [&](const MSG& message) {
        return filter_accepts(filter, message);
    });
    if (found == source.end()) {
        return false;
    }
    *out = *found;
    if (remove) {
        source.erase(found);
    }
    return true;
}

}  // namespace

bool filter_accepts(const MessageFilter& filter, const MSG& message)
{
    if (!window_accepts(filter.window, message.hwnd)) {
        return false;
    }
    return message.message == WM_QUIT || range_accepts(filter, message.message);
}

void MessageQueue::post_quit(int exit_code)
{
    quit_pending_ = true;
    quit_code_ = exit_code;
}

bool MessageQueue::take(const MessageFilter& filter, bool remove, MSG* out)
{
    if (take_from(posted_, filter, remove, out)) {
        return true;
    }
    if (quit_pending_) {
        MSG quit{};
        quit.message = WM_QUIT;
        quit.wParam = static_cast<WPARAM>(quit_code_);
        if (filter_accepts(filter, quit)) {
            *out = quit;
            if (remove) {
                quit_pending_ = false;
            }
            return true;
        }
    }
    return take_from(input_, filter, remove, out);
}

void MessageQueue::discard_window(HWND window)
{
    const auto for_window = [window](const MSG& message) { return message.hwnd == window; };
    std::erase_if(posted_, for_window);
    std::erase_if(input_, for_window);
}

}  // namespace win32
