// The thread message queue behind PeekMessageA, kept apart from any host's
// events so its order can be reasoned about (and tested) on its own.
//
// Windows keeps three sources and serves them in a fixed order: messages
// posted with PostMessageA, then the quit flag set by PostQuitMessage (a
// WM_QUIT is made when no posted message is left), then input from the
// desktop. Ours is the same, with "input" being what the host's events
// became (close requests, keys). The program is single-threaded: there is
// one queue for the process.
#pragma once

#include <deque>

#include "platform/win32_subset.h"

namespace win32 {

// What PeekMessageA was asked for: a window (null: any window and thread
// messages; HWND -1: thread messages only) and a message range (0, 0: all).
struct MessageFilter {
    HWND window = nullptr;
    UINT first = 0;
    UINT last = 0;
};

// Whether a message passes the filter. WM_QUIT passes any range (as the
// PeekMessage documentation says) but, being a thread message, only window
// filters that admit thread messages.
bool filter_accepts(const MessageFilter& filter, const MSG& message);

class MessageQueue {
public:
    void post(const MSG& message) { posted_.push_back(message); }
    void post_input(const MSG& message) { input_.push_back(message); }
    void post_quit(int exit_code);

    // The first message the filter accepts: posted, then quit, then input.
    // With remove, the message leaves the queue (for WM_QUIT: the flag is cleared).
    bool take(const MessageFilter& filter, bool remove, MSG* out);

    // Drops every queued message for a window (DestroyWindow flushes them).
    void discard_window(HWND window);

    bool empty() const { return posted_.empty() && input_.empty() && !quit_pending_; }

private:
    std::deque<MSG> posted_;
    std::deque<MSG> input_;
    bool quit_pending_ = false;
    int quit_code_ = 0;
};

}  // namespace win32
