// Stands in for adb in the adbrunner fuzz target: prints the pieces recorded in FILE (each a
// 32-bit length and its bytes) to standard output, or standard error for pieces whose length has
// the top bit set, pausing between them so that they tend to arrive as separate reads.
//   chunkwriter FILE
#include <cstdint>
#include <cstdio>
#include <unistd.h>

int main(int argc, char** argv)
{
    if (argc < 2) {
        return 2;
    }
    FILE* in = std::fopen(argv[argc - 1], "rb");
    if (!in) {
        return 1;
    }
    uint32_t header = 0;
    static char buffer[1 << 16];
    while (std::fread(&header, sizeof header, 1, in) == 1) {
        const size_t length = header & 0xFFFF;
        const size_t got = std::fread(buffer, 1, length, in);
        const int fd = (header & 0x80000000u) ? 2 : 1;
        for (size_t done = 0; done < got;) {
            const ssize_t n = write(fd, buffer + done, got - done);
            if (n <= 0) {
                return 1;
            }
            done += static_cast<size_t>(n);
        }
        usleep(200);
    }
    return 0;
}
