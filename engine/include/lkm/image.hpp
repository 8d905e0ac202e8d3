// The snapshot of the game's main module as it lies in memory, and the
// bounded operations through which everything else reads it.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "lkm/bytes.hpp"
#include "lkm/image_bytes.hpp"
#include "lkm/messages.hpp"

namespace lkm {

struct Section {
    uint32_t rva;             // VirtualAddress: start as an offset into Image::bytes
    uint32_t size;            // max(VirtualSize, SizeOfRawData)
    uint32_t characteristics; // section flags, unchanged
};

inline constexpr uint32_t sectionExecute = 0x20000000; // IMAGE_SCN_MEM_EXECUTE
inline constexpr uint32_t sectionWrite = 0x80000000;   // IMAGE_SCN_MEM_WRITE

// Image offset -> game address of a module loaded at `base` whose image is
// `imageLength` bytes long ("Invalid engine address.").
inline uint32_t gameAddress(uint32_t base, std::size_t imageLength, uint32_t offset) {
    require(offset < imageLength && offset <= UINT32_MAX - base, message::invalidEngineAddress);
    return base + offset;
}

struct Image {
    ImageBytes bytes;                        // index i is the byte at game address base + i
    uint32_t base;                           // load address of the module
    std::vector<Section> sections;           // section-table order
    std::map<uint32_t, std::string> imports; // IAT slot address -> "DLL!function"

    // Validates a mapped 32-bit PE image and indexes its sections and imports.
    Image(ImageBytes bytes, uint32_t base);
    // The same over bytes the image owns.
    Image(std::vector<uint8_t> owned, uint32_t loadAddress)
        : Image(ImageBytes(std::move(owned)), loadAddress) {}

    // Game address -> image offset ("Engine pointer is outside the main module.").
    uint32_t offset(uint32_t address) const;
    // Image offset -> game address ("Invalid engine address.").
    uint32_t address(uint32_t offset) const;
    // Zero-terminated string of at most 511 characters at an image offset.
    std::string stringAt(uint32_t offset) const;
    // Absolute target of the E8/E9 rel32 instruction at an image offset.
    uint32_t branch(uint32_t offset) const;
    // True when [offset, offset + length) lies inside one writable section.
    bool writable(uint32_t offset, uint32_t length) const;
    // Offsets of every match of a signature text in the executable sections.
    std::vector<uint32_t> find(const std::string& signature) const;
    // True when the signature's bytes from its token `from` on stand at
    // offset + from (a position find would report, ignoring its first tokens).
    bool matchesAt(const std::string& signature, uint32_t offset, std::size_t from = 0) const;
    // find for each signature, in one pass over the code: the same offsets as
    // one find call per signature, with every code byte read from memory once.
    std::vector<std::vector<uint32_t>> findEach(const std::vector<std::string>& signatures) const;
};

// The one distinct value of `candidates`, or
// "Engine recognition failed: <what> has <n> matches.".
uint32_t one(std::vector<uint32_t> candidates, const char* what);

} // namespace lkm
