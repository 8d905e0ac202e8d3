// Compares what the inspector says the plug-in changes with what it changed in
// the running stand-in game: every read-only byte of the game's memory dump that
// differs from the executable file must be one the inspector listed, and every
// listed patch must be there. The plan itself must be the whole-image plan.
//
//   game_patch_check GAME.exe DUMP WIDTH HEIGHT KEEP_UI
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "files.hpp"
#include "hex_text.hpp"
#include "lkm/diff.hpp"
#include "lkm/image.hpp"
#include "lkm/inspect.hpp"
#include "lkm/mapped_file.hpp"
#include "lkm/plan.hpp"
#include "report.hpp"
#include "whole_image_plan.hpp"

namespace {

int failures = 0;

void fail(const std::string& what) {
    std::printf("FAIL: %s\n", what.c_str());
    ++failures;
}

std::vector<uint8_t> fromHex(const std::string& text) {
    std::vector<uint8_t> bytes;
    for (std::size_t i = 0; i + 1 < text.size(); i += 3)
        bytes.push_back(uint8_t(std::stoul(text.substr(i, 2), nullptr, 16)));
    return bytes;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 6) {
        std::fputs("usage: game_patch_check GAME.exe DUMP WIDTH HEIGHT KEEP_UI\n", stderr);
        return 2;
    }
    lkm::inspector::Options options;
    options.path = argv[1];
    options.resolution = std::make_pair(std::atoi(argv[3]), std::atoi(argv[4]));
    options.keepUi = std::atoi(argv[5]) != 0;
    const lkm::inspector::Report report =
        lkm::inspector::inspectSource(*lkm::inspector::openFile(options.path), options);
    if (!report.supported) {
        fail("not supported: " + report.failure);
        return 1;
    }
    const lkm::MappedFile mapped = lkm::mapFile(*lkm::inspector::openFile(argv[1]));
    const std::vector<uint8_t> dump = lkm::readAll(*lkm::inspector::openFile(argv[2]));
    if (dump.size() != mapped.image.size()) {
        fail("the dump is not as long as the image");
        return 1;
    }
    const uint32_t base = mapped.base;
    {
        const lkm::Image file(mapped.image, base);
        const lkm::Layout layout = lkm::inspect(file);
        const std::string differences = lkm::test::planDifferences(
            lkm::build(file, layout, options.resolution->first, options.resolution->second, options.keepUi),
            lkm::test::wholeImagePlan(file, layout, options.resolution->first, options.resolution->second,
                                      options.keepUi));
        if (!differences.empty()) fail("the plan is not the whole-image plan: " + differences);
    }

    // Every listed change is in the game's memory.
    std::vector<std::pair<uint32_t, uint32_t>> listed; // (offset, length)
    for (const lkm::inspector::Change& patch : report.patches) {
        const std::vector<uint8_t> after = fromHex(patch.after);
        const uint32_t offset = patch.address - base;
        listed.emplace_back(offset, uint32_t(after.size()));
        if (!std::equal(after.begin(), after.end(), dump.begin() + static_cast<std::ptrdiff_t>(offset)))
            fail("patch at " + lkm::inspector::hexWord(patch.address) + " is not in memory");
    }
    for (const lkm::inspector::Change& jump : report.redirections) {
        const uint32_t offset = jump.address - base;
        listed.emplace_back(offset, 6);
        const uint32_t rel = uint32_t(dump[offset + 1]) | uint32_t(dump[offset + 2]) << 8 |
                             uint32_t(dump[offset + 3]) << 16 | uint32_t(dump[offset + 4]) << 24;
        const uint32_t target = jump.address + 5 + rel;
        const bool outside = target < base || target - base >= dump.size();
        if (dump[offset] != 0xE9 || dump[offset + 5] != 0x90 || !outside)
            fail("setter at " + lkm::inspector::hexWord(jump.address) +
                 " does not jump out of the game module");
    }

    // Nothing else changed in the image's read-only sections.
    const lkm::Image image(mapped.image, base);
    const lkm::Image live(dump, base);
    std::size_t compared = 0;
    for (const lkm::Section& section : image.sections) {
        if (section.characteristics & lkm::sectionWrite) continue;
        const std::vector<uint8_t> a(mapped.image.begin() + static_cast<std::ptrdiff_t>(section.rva),
                                     mapped.image.begin() +
                                         static_cast<std::ptrdiff_t>(section.rva + section.size));
        const std::vector<uint8_t> b(dump.begin() + static_cast<std::ptrdiff_t>(section.rva),
                                     dump.begin() + static_cast<std::ptrdiff_t>(section.rva + section.size));
        compared += a.size();
        for (const lkm::Run& run : lkm::differingRuns(a, b)) {
            const uint32_t first = section.rva + run.offset;
            bool covered = false;
            for (const auto& [offset, length] : listed)
                covered =
                    covered || (first >= offset && first + uint64_t(run.length) <= offset + uint64_t(length));
            if (!covered)
                fail("unlisted change of " + std::to_string(run.length) + " bytes at " +
                     lkm::inspector::hexWord(base + first));
        }
    }
    std::printf("%zu patches and %zu redirections checked over %zu read-only bytes; %d failures\n",
                report.patches.size(), report.redirections.size(), compared, failures);
    return failures == 0 ? 0 : 1;
}
