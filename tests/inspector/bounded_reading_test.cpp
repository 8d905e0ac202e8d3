// The inspector reads what the image needs and no more: the headers first, a
// file that cannot hold a 32-bit image refused before the rest is read, only
// the sections' raw data read, trailing data ignored; a shortage of memory or a
// library's failure is a refusal in the tool's own words, with a kind.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <new>
#include <stdexcept>
#include <string>
#include <tuple>
#include <vector>

#include "command.hpp"
#include "engine_files.hpp"

namespace {

// `head` followed by zeros up to `size`, counting the bytes read; or, given
// `failure`, a source whose every read throws it.
struct CountingSource : lkm::ByteSource {
    std::vector<uint8_t> head;
    uint64_t length;
    void (*failure)() = nullptr;
    mutable uint64_t bytesRead = 0;

    CountingSource(std::vector<uint8_t> bytes, uint64_t size) : head(std::move(bytes)), length(size) {}
    uint64_t size() const override { return length; }
    void read(uint64_t offset, uint8_t* out, std::size_t count) const override {
        if (failure) failure();
        std::fill(out, out + count, uint8_t(0));
        if (offset < head.size()) {
            const std::size_t at = std::size_t(offset); // below head.size()
            std::memcpy(out, &head[at], std::min(count, head.size() - at));
        }
        bytesRead += count;
    }
};

lkm::inspector::Outcome inspected(const lkm::ByteSource& source) {
    lkm::inspector::Options options;
    options.path = "G.exe";
    options.json = true;
    return lkm::inspector::inspectionOutcome(options, source, [](const lkm::inspector::Restoration&) {});
}

std::string refusalJson(const std::string& message, const std::string& kind) {
    return "{\n  \"file\": \"G.exe\",\n  \"error\": \"" + message + "\",\n  \"errorKind\": \"" + kind +
           "\"\n}\n";
}

TEST(InspectorBoundedReading, ReadsTheHeadersFirstAndOnlyTheRawDataAfter) {
    const std::vector<uint8_t> engine = lkm::test::engineFile(lkm::test::stockEngine());
    constexpr uint64_t GiB = uint64_t(1) << 30;
    std::vector<uint8_t> lfanewInside(0x40, 0);
    lfanewInside[0x3F] = 0x30; // e_lfanew 768 MiB, without MZ
    const std::string noPe = refusalJson("not a PE file: no MZ header", "not a PE file");
    const std::string cut =
        refusalJson("truncated file: section .text lies past the end of the file", "truncated");
    const std::tuple<const char*, std::vector<uint8_t>, uint64_t, std::string, uint64_t> cases[] = {
        // name, the file's first bytes (the rest zeros), its size, the refusal ("" for a report), most bytes
        // read
        {"1 GiB of text", std::vector<uint8_t>(4096, 'x'), GiB, noPe, 4096},
        {"1 GiB, e_lfanew inside", lfanewInside, GiB, noPe, 4096},
        {"engine + 300 MB trailing data", engine, 300'000'000, "", engine.size() + 0x20000},
        {"engine padded to 4 GiB", engine, 4 * GiB,
         refusalJson("too large: a 32-bit executable is smaller than 4 GiB", "unsupported"), 0x20000},
        {"engine cut after its headers", {engine.begin(), engine.begin() + 0x1100}, 0x1100, cut, 2 * 0x1100},
    };
    for (const auto& [name, head, size, refusal, mostRead] : cases) {
        const CountingSource source(head, size);
        const lkm::inspector::Outcome outcome = inspected(source);
        EXPECT_EQ(outcome.status, refusal.empty() ? 0 : 2) << name << ": " << outcome.output;
        if (!refusal.empty()) {
            EXPECT_EQ(outcome.output, refusal) << name;
        }
        EXPECT_LE(source.bytesRead, mostRead) << name;
    }
}

TEST(InspectorBoundedReading, LibraryFailuresAreRefusalsInTheToolsWords) {
    CountingSource source({}, 0x10000);
    source.failure = [] { throw std::bad_alloc(); };
    EXPECT_EQ(inspected(source).output,
              refusalJson("not enough memory to inspect this file", "out of memory"));
    source.failure = [] { throw std::length_error("basic_filebuf::xsgetn error reading the file"); };
    EXPECT_EQ(inspected(source).output,
              refusalJson("lkm-inspect failed inside; please report this file", "internal"));
}

// The same on disk, on every platform: a file with 300 MB of trailing data is recognised.
TEST(InspectorBoundedReading, TrailingDataInAFileIsIgnored) {
    const std::string path =
        lkm::test::written("trailing.exe", lkm::test::engineFile(lkm::test::stockEngine()));
    std::filesystem::resize_file(std::filesystem::u8path(path), 300'000'000);
    const lkm::inspector::Outcome outcome = lkm::inspector::runCommand({path});
    EXPECT_EQ(outcome.status, 0) << outcome.error;
    EXPECT_NE(outcome.output.find("Verdict: supported\n"), std::string::npos) << outcome.output;
    std::filesystem::remove(std::filesystem::u8path(path));
}

} // namespace
