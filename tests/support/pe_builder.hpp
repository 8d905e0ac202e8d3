// Lays out a mapped 32-bit PE image in a byte vector, as the Windows loader
// leaves one in memory: headers, a section table, import descriptors with their
// name tables, strings and code bytes at chosen offsets. Tests describe an image
// with a few calls and then corrupt single fields of the result where they need to.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "lkm/image.hpp"

namespace lkm::test {

// Fixed header placement of every built image.
inline constexpr uint32_t peHeader = 0x80;                  // e_lfanew
inline constexpr uint32_t optionalHeader = peHeader + 0x18; // PE32 optional header
inline constexpr uint32_t optionalHeaderSize = 0xE0;        // with all 16 data directories
inline constexpr uint32_t sectionTable = optionalHeader + optionalHeaderSize;
inline constexpr uint32_t importDirectoryField = peHeader + 0x80;
inline constexpr uint32_t sizeOfImageField = peHeader + 0x50;

// Section flags.
inline constexpr uint32_t codeSection = 0x60000020;  // code, execute, read
inline constexpr uint32_t dataSection = 0xC0000040;  // initialised data, read, write
inline constexpr uint32_t rdataSection = 0x40000040; // initialised data, read

// One base relocation block: its page RVA and its entries (type << 12 | offset).
struct RelocationBlock {
    uint32_t page;
    std::vector<uint16_t> entries;
};
inline constexpr uint16_t highLow = 3 << 12; // IMAGE_REL_BASED_HIGHLOW, to be or'ed with an offset

struct ImportSpec {
    std::string dll;
    std::vector<std::string> functions; // "#N" imports by ordinal N
};

class PeBuilder {
public:
    explicit PeBuilder(uint32_t sizeOfImage, uint32_t base = 0x00400000);

    uint32_t base() const { return base_; }
    uint32_t size() const { return uint32_t(bytes_.size()); }

    // Adds a section-table entry (rawSize defaults to virtualSize).
    PeBuilder& section(const std::string& name, uint32_t rva, uint32_t virtualSize, uint32_t characteristics,
                       uint32_t rawSize = ~0u);

    // Lays out the import directory at `rva` at once: descriptors, then for each DLL
    // its name table, address table, hint/name records and DLL name. The address
    // table slots are filled like the name table, as a file on disk has them.
    PeBuilder& imports(uint32_t rva, const std::vector<ImportSpec>& dlls);
    // Game address of the address table slot of dll!function (after imports()).
    uint32_t slot(const std::string& dll, const std::string& function) const;

    // Data directory `index` (NumberOfRvaAndSizes is 16).
    PeBuilder& directory(uint32_t index, uint32_t rva, uint32_t size);
    // Writes the blocks at `rva`, one after the other, and points data directory 5 at them.
    PeBuilder& relocations(uint32_t rva, const std::vector<RelocationBlock>& blocks);

    PeBuilder& bytes(uint32_t offset, const std::vector<uint8_t>& values);
    PeBuilder& bytes(uint32_t offset, std::initializer_list<uint8_t> values);
    // Writes "E8 ?? 00 ..." style text; "??" tokens leave the byte as it is.
    PeBuilder& hex(uint32_t offset, const std::string& text);
    PeBuilder& u16(uint32_t offset, uint16_t value);
    PeBuilder& u32(uint32_t offset, uint32_t value);
    PeBuilder& f32(uint32_t offset, float value);
    // Writes the characters and a terminating zero.
    PeBuilder& text(uint32_t offset, const std::string& value);
    // Writes an E8 (call) or E9 (jmp) rel32 at `offset` that reaches the game address `target`.
    PeBuilder& branch(uint32_t offset, uint8_t opcode, uint32_t target);
    PeBuilder& fill(uint32_t offset, uint32_t count, uint8_t value);

    uint8_t at(uint32_t offset) const { return bytes_.at(offset); }

    // The finished image bytes: headers written over the first page.
    std::vector<uint8_t> build() const;
    lkm::Image image() const { return lkm::Image(build(), base_); }
    // The image as an executable file: every section's PointerToRawData set to
    // its address, so that mapping the file gives the image back.
    std::vector<uint8_t> file() const;

private:
    struct SectionEntry {
        std::string name;
        uint32_t rva, virtualSize, rawSize, characteristics;
    };
    uint32_t base_;
    std::vector<uint8_t> bytes_;
    std::vector<SectionEntry> sections_;
    uint32_t importRva_ = 0;
    std::map<std::string, uint32_t> slots_;
    std::map<uint32_t, std::pair<uint32_t, uint32_t>> directories_; // index -> rva, size
};

// Parses "AB ?? CD" into bytes; "??" becomes `wildcard`.
std::vector<uint8_t> hexBytes(const std::string& text, uint8_t wildcard = 0x00);

} // namespace lkm::test
