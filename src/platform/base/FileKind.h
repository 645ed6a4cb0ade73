#pragma once

#include <sys/stat.h>

namespace mirelo::platform {

// What a path is when it is not a regular file, in the words a refusal
// uses: "… is a FIFO".
inline const char* fileKindOf(mode_t mode)
{
    if (S_ISDIR(mode)) {
        return "a directory";
    }
    if (S_ISFIFO(mode)) {
        return "a FIFO";
    }
    if (S_ISCHR(mode) || S_ISBLK(mode)) {
        return "a device";
    }
    if (S_ISSOCK(mode)) {
        return "a socket";
    }
    return "not a regular file";
}

} // namespace mirelo::platform
