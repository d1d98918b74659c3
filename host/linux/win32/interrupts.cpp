#include "host/linux/win32/interrupts.h"

#include <SDL2/SDL.h>
#include <signal.h>

#include <atomic>

namespace win32 {
namespace {

// Written by the handler, read by the message pump: a lock-free atomic is
// safe to touch from a signal handler.
std::atomic<bool> interrupt_pending{false};
static_assert(std::atomic<bool>::is_always_lock_free);

void on_interrupt(int)
{
    interrupt_pending.store(true);
}

}  // namespace

void close_windows_on_interrupt()
{
    // SDL's own handlers would only see signals after video starts, and go
    // away when it stops; these cover the whole run.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");

    struct sigaction action {};
    action.sa_handler = on_interrupt;
    action.sa_flags = SA_RESETHAND | SA_RESTART;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

bool take_interrupt()
{
    return interrupt_pending.exchange(false);
}

}  // namespace win32
