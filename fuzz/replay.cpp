// Replays saved fuzz inputs through one fuzz body, without libFuzzer, so that
// the ordinary test trees run the committed corpus on every test run:
//   fuzz_replay <target> <file or folder>...
// Folders are read recursively, files in name order. Each input's name is
// printed before it runs, so a violated property names the input that broke it.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "bodies.hpp"

namespace fs = std::filesystem;

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s <target> <file or folder>...\n", argv[0]);
        return 2;
    }
    const lkm::fuzz::Target* target = nullptr;
    for (const lkm::fuzz::Target& t : lkm::fuzz::targets)
        if (std::strcmp(t.name, argv[1]) == 0) target = &t;
    if (!target) {
        std::fprintf(stderr, "unknown target %s\n", argv[1]);
        return 2;
    }

    std::vector<fs::path> inputs;
    for (int i = 2; i < argc; ++i) {
        const fs::path path(argv[i]);
        if (fs::is_directory(path)) {
            for (const fs::directory_entry& entry : fs::recursive_directory_iterator(path))
                if (entry.is_regular_file()) inputs.push_back(entry.path());
        } else if (fs::is_regular_file(path)) {
            inputs.push_back(path);
        } else {
            std::fprintf(stderr, "no such input: %s\n", argv[i]);
            return 2;
        }
    }
    std::sort(inputs.begin(), inputs.end());
    if (inputs.empty()) {
        std::fprintf(stderr, "no inputs to replay\n");
        return 1;
    }

    for (const fs::path& path : inputs) {
        std::printf("%s\n", path.string().c_str());
        std::fflush(stdout);
        std::ifstream file(path, std::ios::binary);
        const std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(file),
                                         std::istreambuf_iterator<char>()};
        target->body(bytes.data(), bytes.size());
    }
    std::printf("replayed %zu inputs through %s\n", inputs.size(), target->name);
    return 0;
}
