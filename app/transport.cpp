#include "app/transport.h"

#include <cstdio>

#include "scene/timeline.h"

namespace {

int64_t position_of(HSTREAM stream)
{
    return static_cast<int64_t>(BASS_ChannelGetPosition(stream, BASS_POS_BYTE));
}

}  // namespace

bool transport_paused(HSTREAM stream)
{
    return BASS_ChannelIsActive(stream) == BASS_ACTIVE_PAUSED;
}

void transport_pause(HSTREAM stream, bool pause)
{
    if (pause) {
        BASS_ChannelPause(stream);
    } else if (transport_paused(stream)) {
        BASS_ChannelPlay(stream, FALSE);
    }
}

void transport_seek(HSTREAM stream, int64_t position)
{
    const int64_t target = position < 0 ? 0 : position - position % 4;
    BASS_ChannelSetPosition(stream, static_cast<QWORD>(target), BASS_POS_BYTE);
}

bool transport_key(HSTREAM stream, WPARAM key, bool repeated)
{
    if (repeated && key != VK_LEFT && key != VK_RIGHT) {
        return false;
    }
    switch (key) {
    case VK_SPACE:
    case 'K':
        transport_pause(stream, !transport_paused(stream));
        return true;
    case VK_LEFT:
        transport_seek(stream, position_of(stream) - kSeekStepBytes);
        return true;
    case VK_RIGHT:
        transport_seek(stream, position_of(stream) + kSeekStepBytes);
        return true;
    case VK_HOME:
        transport_seek(stream, 0);
        return true;
    default:
        break;
    }
    if (key >= '1' && key < '1' + kSceneCount) {
        transport_seek(stream, kSceneStarts[key - '1']);
        return true;
    }
    return false;
}

void rehearsal_title(int32_t position, bool paused, wchar_t* title, size_t size)
{
    if (size == 0) {
        return;
    }
    const int64_t seconds = position > 0 ? position / kMusicBytesPerSecond : 0;
    char text[64];
    std::snprintf(text, sizeof text, "Night Tree | %lld:%02lld scene %d%s",
                  static_cast<long long>(seconds / 60), static_cast<long long>(seconds % 60),
                  scene_number(position), paused ? " | paused" : "");
    // The separators are em dashes; the rest is ASCII.
    size_t length = 0;
    for (const char* c = text; *c != '\0' && length + 1 < size; ++c) {
        title[length++] = *c == '|' ? L'\u2014' : static_cast<wchar_t>(*c);
    }
    title[length] = L'\0';
}
