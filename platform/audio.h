// Our audio library: MP3 music playback with a byte-position clock. The calls
// and constants follow the BASS audio library's documented API, so the
// application shell reads the same whichever library stands behind it. Both
// builds implement it (host/linux/audio, host/windows/audio).
#pragma once

#include <cstdint>

#ifdef _WIN32
#include <windows.h>
#else
#include "platform/win32_subset.h"
#endif

typedef uint64_t QWORD;
typedef DWORD HSTREAM;

// Stream flags.
#define BASS_STREAM_PRESCAN 0x20000   // exact positioning in the compressed file
#define BASS_STREAM_AUTOFREE 0x40000  // free the stream when playback ends

// Position modes.
#define BASS_POS_BYTE 0

// Channel activity.
#define BASS_ACTIVE_STOPPED 0
#define BASS_ACTIVE_PLAYING 1
#define BASS_ACTIVE_STALLED 2
#define BASS_ACTIVE_PAUSED 3

// Error codes (BASS_ErrorGetCode).
#define BASS_OK 0
#define BASS_ERROR_MEM 1
#define BASS_ERROR_FILEOPEN 2
#define BASS_ERROR_DRIVER 3
#define BASS_ERROR_HANDLE 5
#define BASS_ERROR_FORMAT 6
#define BASS_ERROR_POSITION 7
#define BASS_ERROR_INIT 8
#define BASS_ERROR_ALREADY 14
#define BASS_ERROR_NOTAUDIO 17
#define BASS_ERROR_ILLPARAM 20
#define BASS_ERROR_DEVICE 23
#define BASS_ERROR_NOPLAY 24    // the channel is not playing
#define BASS_ERROR_NOTAVAIL 37  // e.g. a position mode other than bytes
#define BASS_ERROR_FILEFORM 41  // not MPEG layer III audio
#define BASS_ERROR_CODEC 44     // the system has no decoder for the stream
#define BASS_ERROR_UNKNOWN -1

// Opens the default output (device -1 or 1; 0 is "no sound") at freq Hz,
// 16-bit stereo. Without a usable output it still succeeds, says so once on
// stderr, and streams play silently on the system clock.
BOOL BASS_Init(int device, DWORD freq, DWORD flags, HWND window, const GUID* dsguid);
BOOL BASS_Free();
// An MPEG layer III stream from a file (mem = FALSE, file is its name) or
// from memory (mem = TRUE, length bytes at file + offset), decoded whole,
// trimmed of encoder delay and padding (gapless). Flags: BASS_STREAM_PRESCAN,
// BASS_STREAM_AUTOFREE. Anything that is not MPEG audio gives
// BASS_ERROR_FILEFORM, a missing file BASS_ERROR_FILEOPEN.
HSTREAM BASS_StreamCreateFile(BOOL mem, const void* file, QWORD offset, QWORD length, DWORD flags);
// Plays from the current position: a paused stream resumes where it stood;
// a stream that played to its end, or any stream with restart, plays from
// the start.
BOOL BASS_ChannelPlay(DWORD handle, BOOL restart);
// Pauses a playing stream: its sound stops at once and its position stays
// where it was heard until BASS_ChannelPlay resumes it. A stream that is not
// playing gives BASS_ERROR_NOPLAY, one already paused BASS_ERROR_ALREADY.
BOOL BASS_ChannelPause(DWORD handle);
// Positions count the bytes of the decoded audio as 16-bit stereo at the
// stream's own rate (4 bytes a sample frame, mono counted as stereo).
// Setting one is exact to the sample, playing or paused (a paused stream
// stays paused there); reading one gives what is being heard now, moving
// steadily between output buffers and never backwards while the stream
// plays. A position at the end ends the stream as its last sample does; one
// past the end ends it too, and fails with BASS_ERROR_POSITION.
BOOL BASS_ChannelSetPosition(DWORD handle, QWORD pos, DWORD mode);
// BASS_ACTIVE_PLAYING until the last sample has been heard, then
// BASS_ACTIVE_STOPPED (and an auto-free stream's handle is gone);
// BASS_ACTIVE_PAUSED between BASS_ChannelPause and BASS_ChannelPlay.
DWORD BASS_ChannelIsActive(DWORD handle);
QWORD BASS_ChannelGetPosition(DWORD handle, DWORD mode);
// The stream's length in bytes, counted as positions are.
QWORD BASS_ChannelGetLength(DWORD handle, DWORD mode);
// The error code of the calling thread's last audio call (BASS_OK after a success).
int BASS_ErrorGetCode();
// A short description of an error code and of the last failure's cause,
// for messages ("not an MPEG audio stream"); never null.
const char* audio_error_text(int code);
