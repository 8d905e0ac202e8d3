#include "import_directory.hpp"

#include "lkm/bytes.hpp"

namespace lkm::imports {

std::optional<Descriptor> descriptorAt(const ImageBytes& bytes, uint32_t directory, uint32_t index) {
    const uint64_t position = directory + uint64_t(descriptorSize) * index;
    // Inside the image, and every field's 32-bit offset below 2^32.
    if (position > bytes.size() || bytes.size() - position < descriptorSize ||
        position > UINT32_MAX - descriptorSize)
        return std::nullopt;
    const uint32_t at = uint32_t(position);
    return Descriptor{read<uint32_t>(bytes, at), read<uint32_t>(bytes, at + 12),
                      read<uint32_t>(bytes, at + 16)};
}

} // namespace lkm::imports
