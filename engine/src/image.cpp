// Validation of the mapped main module and the indexes built from it: the
// section list and the map of import address table slots to imported names.
#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "image_headers.hpp"
#include "import_directory.hpp"
#include "lkm/image.hpp"
#include "lkm/messages.hpp"
#include "lkm/pe_headers.hpp"

namespace lkm {

namespace {

constexpr uint32_t maxThunks = 8192;
constexpr uint32_t ordinalFlag = 0x80000000;

// A header position computed from fields of the image. Positions that do not fit
// in 32 bits lie outside any image and fail like every other read past the end.
uint32_t at(uint64_t position) {
    require(position <= UINT32_MAX, message::invalidImageRange);
    return uint32_t(position);
}

// A header field that lies inside the image, like every lkm::read.
template <class T>
T inside(const std::optional<T>& field) {
    require(field.has_value(), message::invalidImageRange);
    return *field;
}

} // namespace

Image::Image(ImageBytes bytes_, uint32_t base_) : bytes(std::move(bytes_)), base(base_) {
    const ImageHeaders view(bytes);
    const PeHeaders& headers = *view;
    require(inside(headers.dosMagic()) == pe::dosMagic, message::notPeImage);

    require(inside(headers.signature()) == pe::signature && inside(headers.machine()) == pe::machineI386,
            message::notX86Image);

    const uint32_t sectionCount = inside(headers.sectionCount());
    const uint32_t optionalSize = inside(headers.optionalHeaderSize());
    require(sectionCount >= 1 && sectionCount <= pe::mostSections &&
                optionalSize >= imports::minOptionalHeader &&
                inside(headers.optionalMagic()) == pe::pe32Magic,
            message::unsupportedPeHeader);

    require(inside(headers.sizeOfImage()) == bytes.size(), message::imageSizeMismatch);

    for (uint32_t i = 0; i < sectionCount; ++i) {
        const SectionHeader entry = inside(headers.section(i));
        const uint32_t size = std::max(entry.virtualSize, entry.rawSize);
        require(entry.rva <= bytes.size() && bytes.size() - entry.rva >= size, message::invalidMappedSection);
        sections.push_back({entry.rva, size, entry.characteristics});
    }

    const uint32_t directory = inside(headers.importDirectory());
    require(directory != 0, message::noEngineImports);

    for (uint32_t d = 0; d < imports::maxDescriptors; ++d) {
        const imports::Descriptor descriptor = inside(imports::descriptorAt(bytes, directory, d));
        if (descriptor.last()) return;
        // The loader has overwritten the address table with resolved addresses,
        // so the names can only come from the name table.
        require(descriptor.nameTable != 0, message::nameTableRequired);

        const std::string dll = stringAt(descriptor.dllName);
        for (uint32_t i = 0; i < maxThunks; ++i) {
            const uint32_t thunk = read<uint32_t>(bytes, at(descriptor.nameTable + 4 * uint64_t(i)));
            if (thunk == 0) break;
            if (thunk & ordinalFlag) continue; // by ordinal: no name, but it still owns its slot
            // Hint/name record: a 2-byte hint, then the name.
            std::string text = dll + "!" + stringAt(thunk + 2);
            // A slot past 2^32 - 1 is passed on as 2^32 - 1, which is never below a
            // 32-bit image length, so it fails as a slot outside the image.
            const uint64_t slot = descriptor.addressTable + 4 * uint64_t(i);
            const uint32_t key = address(slot <= UINT32_MAX ? uint32_t(slot) : UINT32_MAX);
            imports[key] = std::move(text);
        }
    }
}

} // namespace lkm
