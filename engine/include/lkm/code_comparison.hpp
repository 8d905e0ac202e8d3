// The game's code in memory against its executable file on disk, page by page:
// where the live bytes of the executable sections differ from the file's bytes
// laid out and relocated as the loader maps them. One page of each at a time,
// so memory stays a few KiB whatever the image size.
#pragma once

#include <cstdint>
#include <vector>

#include "lkm/byte_source.hpp"
#include "lkm/diff.hpp"
#include "lkm/live_bytes.hpp"

namespace lkm {

inline constexpr uint32_t keptRuns = 65;                           // enough to know "more than 64"
inline constexpr uint64_t largestComparedFile = uint64_t(1) << 30; // 1 GiB

struct CodeComparison {
    // Why the file could not be compared; none when it was.
    enum class Refusal {
        none,
        unreadable,      // the file cannot be read
        notPe,           // not a PE file, or one the loader could not map
        tooLarge,        // larger than largestComparedFile
        relocations,     // its base relocations cannot be applied
        otherExecutable, // its headers disagree with the module in memory
    };
    Refusal refusal = Refusal::none;
    std::vector<Run> runs;       // the first keptRuns maximal runs of differing bytes, by image offset
    uint32_t runCount = 0;       // every run
    uint64_t differingBytes = 0; // every differing byte
    uint64_t codeBytes = 0;      // the bytes of the executable sections
};

// Compares the executable sections (IMAGE_SCN_MEM_EXECUTE) of the module
// loaded at `liveBase` with `file`, leaving out the bytes the loader writes
// when it resolves imports. A live page that cannot be read differs in every
// byte. The file's size is checked before any byte of it is read; the live
// headers must give the file's SizeOfImage and section table. A FileError of
// the file becomes the refusal; nothing else is caught.
CodeComparison compareCode(const ByteSource& file, const LiveBytes& live, uint32_t liveBase);

} // namespace lkm
