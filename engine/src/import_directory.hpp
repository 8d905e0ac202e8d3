// The import directory of a mapped image as every walk over it reads it (the
// image model's import map, the loader names): where the data directory lies,
// how far a walk goes and what a descriptor holds.
#pragma once

#include <cstdint>
#include <optional>

#include "lkm/image_bytes.hpp"

namespace lkm::imports {

inline constexpr uint32_t minOptionalHeader = 0x70; // still holds the import data directory
inline constexpr uint32_t descriptorSize = 20;      // IMAGE_IMPORT_DESCRIPTOR
inline constexpr uint32_t maxDescriptors = 512;     // a walk ends at directory + 10240

struct Descriptor {
    uint32_t nameTable;    // +0  OriginalFirstThunk: the import name table
    uint32_t dllName;      // +12 Name: the DLL's name, zero-terminated
    uint32_t addressTable; // +16 FirstThunk: the import address table

    // The all-zero descriptor that ends the directory.
    bool last() const { return nameTable == 0 && dllName == 0 && addressTable == 0; }
};

// Descriptor `index` of the directory at image offset `directory`; none unless
// all of it lies inside the image.
std::optional<Descriptor> descriptorAt(const ImageBytes& bytes, uint32_t directory, uint32_t index);

} // namespace lkm::imports
