#include "host/gl/live_objects.h"

#include <array>
#include <cstdio>
#include <cstdlib>

namespace host_d3d9 {
namespace {

struct KindName {
    const char* one;
    const char* many;
};
constexpr std::array<KindName, 3> kNames = {
    {{"factory", "factories"}, {"device", "devices"}, {"texture", "textures"}}};

std::array<size_t, kNames.size()> counts{};
bool report_registered = false;

size_t& count_of(ObjectKind kind)
{
    return counts[static_cast<size_t>(kind)];
}

void report_unreleased()
{
    size_t total = 0;
    for (size_t count : counts) {
        total += count;
    }
    if (total == 0) {
        return;
    }
    std::fprintf(stderr, "d3d9: at exit, %zu object%s never released:", total,
                 total == 1 ? " was" : "s were");
    const char* separator = " ";
    for (size_t kind = 0; kind < kNames.size(); ++kind) {
        if (counts[kind] > 0) {
            const KindName& name = kNames[kind];
            std::fprintf(stderr, "%s%zu %s", separator, counts[kind],
                         counts[kind] == 1 ? name.one : name.many);
            separator = ", ";
        }
    }
    std::fputc('\n', stderr);
}

}  // namespace

LiveObject::LiveObject(ObjectKind kind) : kind_(kind)
{
    if (!report_registered) {
        report_registered = std::atexit(report_unreleased) == 0;
    }
    ++count_of(kind_);
}

LiveObject::~LiveObject()
{
    --count_of(kind_);
}

size_t live_objects(ObjectKind kind)
{
    return count_of(kind);
}

}  // namespace host_d3d9
