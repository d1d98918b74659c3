// The show's transport: pause, resume and seeks on the music stream, for
// rehearsals on the desktop (--rehearse) and for the web page's player.
// Every frame is drawn from the music position alone, so a seek moves the
// picture and the sound together, and a paused show draws the paused frame.
// Positions are the stream's bytes of decoded music (176400 a second).
#pragma once

#include <cstddef>
#include <cstdint>

#include "app/options.h"
#include "platform/platform.h"

// How far the arrow keys move the show: 5 seconds.
inline constexpr int64_t kSeekStepBytes = 5 * kMusicBytesPerSecond;

// What the page's player sends the show's window, beside the keys.
inline constexpr UINT kSeekMessage = WM_APP;       // lparam: the music position in bytes
inline constexpr UINT kPauseMessage = WM_APP + 1;  // wparam: TRUE pauses, FALSE resumes

bool transport_paused(HSTREAM stream);
void transport_pause(HSTREAM stream, bool pause);
// Moves the show to `position`, paused or playing as it was; below 0 is the
// start. At the music's end or past it the stream ends, as at its last
// sample: the show ends, or starts again with --loop.
void transport_seek(HSTREAM stream, int64_t position);
// A rehearsal key (Space or K, Left, Right, Home, 1 to 5) acts on the show;
// true if `key` was one of them. A key held down repeats only the arrows.
bool transport_key(HSTREAM stream, WPARAM key, bool repeated);

// The window's title while rehearsing, "Night Tree — 0:45 scene 2" with
// " — paused" after it while paused, into `title` (cut to its size).
void rehearsal_title(int32_t position, bool paused, wchar_t* title, size_t size);
