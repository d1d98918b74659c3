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
#define BASS_ERROR_NOTAVAIL 37  // e.g. a position mode other than bytes
#define BASS_ERROR_FILEFORM 41  // not MPEG layer III audio
#define BASS_ERROR_CODEC 44     // the system has no decoder for the stream
#define BASS_ERROR_UNKNOWN -1

BOOL BASS_Init(int device, DWORD freq, DWORD flags, HWND window, const GUID* dsguid);
BOOL BASS_Free();
HSTREAM BASS_StreamCreateFile(BOOL mem, const void* file, QWORD offset, QWORD length,
                              DWORD flags);
BOOL BASS_ChannelPlay(DWORD handle, BOOL restart);
BOOL BASS_ChannelSetPosition(DWORD handle, QWORD pos, DWORD mode);
DWORD BASS_ChannelIsActive(DWORD handle);
QWORD BASS_ChannelGetPosition(DWORD handle, DWORD mode);
// The error code of the calling thread's last audio call (BASS_OK after a success).
int BASS_ErrorGetCode();
// A short description of an error code and of the last failure's cause,
// for messages ("not an MPEG audio stream"); never null.
const char* audio_error_text(int code);
