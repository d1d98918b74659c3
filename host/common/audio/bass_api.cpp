// The library's calls, as the application shell makes them: each goes to
// the one engine of the platform's host (host_engine, defined beside the
// platform's output backend).
#include "host/common/audio/engine.h"
#include "platform/audio.h"

BOOL BASS_Init(int device, DWORD freq, DWORD, HWND, const GUID*)
{
    return audio::host_engine().init(device, freq);
}

BOOL BASS_Free()
{
    return audio::host_engine().free();
}

HSTREAM BASS_StreamCreateFile(BOOL mem, const void* file, QWORD offset, QWORD length, DWORD flags)
{
    return audio::host_engine().create_stream(mem, file, offset, length, flags);
}

BOOL BASS_ChannelPlay(DWORD handle, BOOL restart)
{
    return audio::host_engine().play(handle, restart);
}

BOOL BASS_ChannelPause(DWORD handle)
{
    return audio::host_engine().pause(handle);
}

BOOL BASS_ChannelSetPosition(DWORD handle, QWORD pos, DWORD mode)
{
    return audio::host_engine().set_position(handle, pos, mode);
}

DWORD BASS_ChannelIsActive(DWORD handle)
{
    return audio::host_engine().is_active(handle);
}

QWORD BASS_ChannelGetPosition(DWORD handle, DWORD mode)
{
    return audio::host_engine().get_position(handle, mode);
}

QWORD BASS_ChannelGetLength(DWORD handle, DWORD mode)
{
    return audio::host_engine().get_length(handle, mode);
}

int BASS_ErrorGetCode()
{
    return audio::last_error();
}

const char* audio_error_text(int code)
{
    return audio::error_text(code);
}
