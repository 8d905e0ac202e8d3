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
#include <vector>

#include "command.hpp"
#include "engine_files.hpp"
#include "mapped_file.hpp"

namespace {

// `head` followed by zeros up to `size`, counting the bytes read past `head`.
class CountingSource : public lkmtool::ByteSource {
public:
    CountingSource(std::vector<uint8_t> head, uint64_t size) : head_(std::move(head)), size_(size) {}
    uint64_t size() const override { return size_; }
    void read(uint64_t offset, uint8_t* out, std::size_t length) const override {
        if (offset > size_ || size_ - offset < length) throw std::logic_error("a read past the end");
        std::fill(out, out + length, uint8_t(0));
        if (offset < head_.size())
            std::memcpy(out, head_.data() + offset, std::min<uint64_t>(length, head_.size() - offset));
        read_ += length;
    }
    uint64_t bytesRead() const { return read_; }

private:
    std::vector<uint8_t> head_;
    uint64_t size_;
    mutable uint64_t read_ = 0;
};

lkmtool::Outcome inspected(const lkmtool::ByteSource& source) {
    lkmtool::Options options;
    options.path = "G.exe";
    options.json = true;
    return lkmtool::inspectionOutcome(options, source, [](const lkmtool::Restoration&) {});
}

std::string refusalJson(const std::string& message, const std::string& kind) {
    return "{\n  \"file\": \"G.exe\",\n  \"error\": \"" + message + "\",\n  \"errorKind\": \"" + kind +
           "\"\n}\n";
}

TEST(InspectorBoundedReading, ReadsTheHeadersFirstAndOnlyTheRawDataAfter) {
    const std::vector<uint8_t> engine = lkmtest::engineFile(lkmtest::stockEngine());
    constexpr uint64_t GiB = uint64_t(1) << 30;
    const std::vector<uint8_t> text(4096, 'x');
    std::vector<uint8_t> lfanewInside(0x40, 0);
    lfanewInside[0x3F] = 0x30; // 768 MiB
    struct Case {
        const char* name;
        std::vector<uint8_t> head;
        uint64_t size;
        int status;
        std::string json;  // "" for a report
        uint64_t mostRead; // bytes
    };
    const Case cases[] = {
        {"1 GiB of text", text, GiB, 2, refusalJson("not a PE file: no MZ header", "not a PE file"), 4096},
        {"1 GiB, no MZ, e_lfanew inside", lfanewInside, GiB, 2,
         refusalJson("not a PE file: no MZ header", "not a PE file"), 4096},
        {"engine + 300 MB trailing data", engine, 300'000'000, 0, "", engine.size() + 0x20000},
        {"engine padded to 4 GiB", engine, 4 * GiB, 2,
         refusalJson("too large: a 32-bit executable is smaller than 4 GiB", "unsupported"), 0x20000},
        {"engine cut after its headers",
         {engine.begin(), engine.begin() + 0x1100},
         0x1100,
         2,
         refusalJson("truncated file: section .text lies past the end of the file", "truncated"),
         2 * 0x1100},
    };
    for (const Case& c : cases) {
        const CountingSource source(c.head, c.size);
        const lkmtool::Outcome outcome = inspected(source);
        EXPECT_EQ(outcome.status, c.status) << c.name << ": " << outcome.output;
        if (!c.json.empty()) {
            EXPECT_EQ(outcome.output, c.json) << c.name;
        }
        EXPECT_LE(source.bytesRead(), c.mostRead) << c.name;
    }
}

// A source that fails as the standard library does: its text stays inside.
class FailingSource : public lkmtool::ByteSource {
public:
    explicit FailingSource(bool memory) : memory_(memory) {}
    uint64_t size() const override { return 0x10000; }
    void read(uint64_t, uint8_t*, std::size_t) const override {
        if (memory_) throw std::bad_alloc();
        throw std::length_error("basic_filebuf::xsgetn error reading the file");
    }

private:
    bool memory_;
};

TEST(InspectorBoundedReading, LibraryFailuresAreRefusalsInTheToolsWords) {
    EXPECT_EQ(inspected(FailingSource(true)).output,
              refusalJson("not enough memory to inspect this file", "out of memory"));
    EXPECT_EQ(inspected(FailingSource(false)).output,
              refusalJson("lkm-inspect failed inside; please report this file", "internal"));
}

// The same on disk: a file with 300 MB of trailing data is recognised.
TEST(InspectorBoundedReading, TrailingDataInAFileIsIgnored) {
    const std::string path = lkmtest::written("trailing.exe", lkmtest::engineFile(lkmtest::stockEngine()));
    std::filesystem::resize_file(std::filesystem::u8path(path), 300'000'000);
    const lkmtool::Outcome outcome = lkmtool::runCommand({path});
    EXPECT_EQ(outcome.status, 0) << outcome.error;
    EXPECT_NE(outcome.output.find("Verdict: supported\n"), std::string::npos) << outcome.output;
    std::filesystem::remove(std::filesystem::u8path(path));
}

} // namespace
