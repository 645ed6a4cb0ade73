// Writes the synthetic firmware's SysEx messages to a .syx file, the input
// from which `mirelo-updater-cli pack` makes the bundled update file.

#include "tools/SyntheticFirmware.h"

#include <cstdio>
#include <fstream>

int main(int argc, char** argv)
{
    if (argc != 2 || argv[1][0] == '-') {
        std::fprintf(stderr,
                     "usage: %s OUT.syx\n"
                     "Writes a deterministic synthetic firmware image as SysEx messages\n"
                     "(manufacturer ID 0x7D): a header, %zu data blocks, a closing message.\n",
                     argv[0], CSyntheticFirmware::kBlockCount);
        return 2;
    }
    std::ofstream out(argv[1], std::ios::binary | std::ios::trunc);
    for (const auto& message : CSyntheticFirmware().messages()) {
        out.write(reinterpret_cast<const char*>(message.data()), static_cast<std::streamsize>(message.size()));
    }
    out.close();
    if (!out) {
        std::fprintf(stderr, "%s: cannot write %s\n", argv[0], argv[1]);
        return 1;
    }
    return 0;
}
