// The inspector's memory and time on large files, with the goals it checks:
//   * `--resolution 2560x1080` on the stand-in engine with 32 MiB of code and
//     300 MB of trailing data: peak heap at most 1.2x the image's SizeOfImage
//     (the file laid out once, recognised where it lies);
//   * a 1 GiB file that is no PE file: refused within 64 MiB, in under a second.
// Peak heap is counted in this process by replacing operator new (heap_peak.cpp),
// from what was live before the command; the peak resident set of lkm-inspect
// itself, run as a child process on the same files, is printed beside it
// (ru_maxrss of the child from wait4). Exit status 1 when a goal is missed.
#include <malloc.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "code_filler.hpp"
#include "command.hpp"
#include "engine_image.hpp"
#include "heap_peak.hpp"

namespace {

constexpr uint32_t codeSize = 32u << 20;
constexpr double MiB = 1 << 20;

struct Measured {
    int status;
    std::size_t heap; // bytes
    double seconds;   // wall time of the command in this process
};

// The peak resident set of lkm-inspect run as a child on `words`, its output
// thrown away, in MiB. Linux counts what the forked child held before exec, so
// this is called while this process holds little.
double childPeak(const std::vector<std::string>& words) {
    std::fflush(stdout);
    const pid_t child = fork();
    if (child == 0) {
        std::vector<char*> argv{const_cast<char*>(LKM_INSPECT_EXE)};
        for (const std::string& w : words) argv.push_back(const_cast<char*>(w.c_str()));
        argv.push_back(nullptr);
        if (!std::freopen("/dev/null", "w", stdout) || !std::freopen("/dev/null", "w", stderr)) _exit(127);
        execv(LKM_INSPECT_EXE, argv.data());
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    if (child < 0 || wait4(child, &status, 0, &usage) != child) return -1;
    return double(usage.ru_maxrss) / 1024;
}

Measured measure(const std::vector<std::string>& words) {
    const std::size_t before = lkm::bench::liveHeap();
    lkm::bench::resetHeapPeak();
    const auto start = std::chrono::steady_clock::now();
    const int status = lkm::inspector::runCommand(words).status;
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    return {status, lkm::bench::heapPeak() - before, took.count()};
}

std::string fileOf(const std::string& name, const std::vector<uint8_t>& head, uint64_t size) {
    const std::string path = (std::filesystem::temp_directory_path() / name).string();
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(head.data()), std::streamsize(head.size()));
    }
    std::filesystem::resize_file(path, size); // the rest reads as zeros and takes no disk
    return path;
}

bool report(const char* what, const Measured& m, int status, double heapLimit, double secondsLimit,
            const char* goal) {
    const bool met = m.status == status && double(m.heap) <= heapLimit && m.seconds < secondsLimit;
    std::printf("%s: exit %d, peak heap %.1f MiB, %.2f ms; goal %s: %s\n", what, m.status,
                double(m.heap) / MiB, m.seconds * 1e3, goal, met ? "met" : "MISSED");
    return met;
}

} // namespace

int main() {
    constexpr uint64_t gameFileSize = 300'000'000;
    const std::string text = fileOf("lkm-memory-bench-text.bin", std::vector<uint8_t>(4096, 'x'), 1ull << 30);
    std::string game;
    double image = 0;
    {
        const lkm::test::EngineImage engine = lkm::test::makeEngineImage(
            lkm::test::largeEngineConfig(codeSize), lkm::filler::codeFiller(codeSize));
        const std::vector<uint8_t> file = lkm::test::engineFile(engine);
        image = double(file.size()); // sections at their addresses: the file is SizeOfImage long
        game = fileOf("lkm-memory-bench-game.exe", file, gameFileSize);
    }
    malloc_trim(0);
    std::printf("stand-in image %.1f MiB (SizeOfImage), its file with trailing data %.1f MiB\n", image / MiB,
                double(gameFileSize) / MiB);
    const std::vector<std::string> resolution = {game, "--resolution", "2560x1080"};
    const double resident = childPeak(resolution);
    std::printf(
        "lkm-inspect peak resident set: --resolution %.1f MiB (%.2f x SizeOfImage), 1 GiB no PE %.1f MiB\n",
        resident, resident * MiB / image, childPeak({text}));

    bool met = true;
    for (int run = 0; run < 3; ++run) {
        const Measured m = measure(resolution);
        std::printf("run %d: peak heap %.3f x SizeOfImage\n", run + 1, double(m.heap) / image);
        met &= report("--resolution 2560x1080", m, 0, 1.2 * image, 10.0, "heap <= 1.2 x SizeOfImage");
    }
    met &= report("1 GiB, no PE file", measure({text}), 2, 64 * MiB, 1.0, "heap <= 64 MiB, < 1 s");
    std::filesystem::remove(game);
    std::filesystem::remove(text);
    return met ? 0 : 1;
}
