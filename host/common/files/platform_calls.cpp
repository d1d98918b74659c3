// The platform call of platform/platform.h that the input-file check answers.
#include "host/common/files/input_file.h"
#include "platform/platform.h"

const char* input_file_refusal(const char* path)
{
    return path != nullptr ? files::refusal(files::kind_of(path)) : nullptr;
}
