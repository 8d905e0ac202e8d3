#include "own_image.hpp"

#include <windows.h>

#include <stdexcept>

namespace lkm::game {

namespace {

// The loader maps the headers as the image's first page.
constexpr std::size_t headerPage = 0x1000;

lkm::PeHeaders ownHeaders() {
    return lkm::PeHeaders(ownImageBase(), headerPage);
}

template <class T>
T present(const std::optional<T>& field) {
    if (!field) throw std::runtime_error("The game's own headers do not fit in their page.");
    return *field;
}

} // namespace

const uint8_t* ownImageBase() {
    return reinterpret_cast<const uint8_t*>(GetModuleHandleW(nullptr));
}

uint32_t ownImageSize() {
    return present(ownHeaders().sizeOfImage());
}

std::vector<lkm::SectionHeader> ownSections() {
    const lkm::PeHeaders headers = ownHeaders();
    std::vector<lkm::SectionHeader> sections;
    const uint16_t count = present(headers.sectionCount());
    for (uint32_t i = 0; i < count; ++i) sections.push_back(present(headers.section(i)));
    return sections;
}

} // namespace lkm::game
