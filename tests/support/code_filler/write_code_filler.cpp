// write_code_filler: writes SIZE bytes of code-like filler (code_filler.hpp) to
// FILE, for the large stand-in game's extra code section.
//   write_code_filler FILE SIZE
#include <cstdio>
#include <cstdlib>

#include "code_filler.hpp"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: write_code_filler FILE SIZE\n");
        return 2;
    }
    const std::vector<uint8_t> filler = lkm::filler::codeFiller(std::strtoul(argv[2], nullptr, 0));
    std::FILE* file = std::fopen(argv[1], "wb");
    if (!file) {
        std::fprintf(stderr, "write_code_filler: cannot write %s\n", argv[1]);
        return 1;
    }
    const bool written = std::fwrite(filler.data(), 1, filler.size(), file) == filler.size();
    if (std::fclose(file) != 0 || !written) {
        std::fprintf(stderr, "write_code_filler: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
