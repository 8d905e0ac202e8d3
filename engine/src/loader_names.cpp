// The import descriptors walked once, each DLL name read over at most as many
// bytes as the longest loader name with ".dll" and its terminator.
#include "lkm/loader_names.hpp"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string_view>

#include "image_headers.hpp"
#include "import_directory.hpp"

namespace lkm {

namespace {

constexpr std::string_view dllSuffix = ".dll";

// The longest DLL name that can still be a loader name.
constexpr std::size_t longestName() {
    std::size_t longest = 0;
    for (const char* name : loaderNames) longest = std::max(longest, std::string_view(name).size());
    return longest + dllSuffix.size();
}

// The image offset of the import directory the image model walks, when the
// headers are PE32 ones that hold it.
std::optional<uint32_t> importDirectory(const ImageBytes& bytes) {
    const ImageHeaders headers(bytes);
    if (headers->dosMagic() != pe::dosMagic || headers->signature() != pe::signature ||
        headers->optionalMagic() != pe::pe32Magic)
        return std::nullopt;
    const std::optional<uint16_t> optionalSize = headers->optionalHeaderSize();
    if (!optionalSize || *optionalSize < imports::minOptionalHeader) return std::nullopt;
    const std::optional<uint32_t> directory = headers->importDirectory();
    if (!directory || *directory == 0) return std::nullopt;
    return directory;
}

// The zero-terminated name at an image offset in lower case, bounded like
// Image::stringAt; none when it lies past the end of the image or is too long
// to be a loader name.
std::optional<std::string> shortName(const ImageBytes& bytes, uint32_t offset) {
    if (offset >= bytes.size()) return std::nullopt;
    const std::size_t limit = std::min<std::size_t>(bytes.size() - offset, longestName() + 1);
    std::string name;
    for (std::size_t i = 0; i < limit; ++i) {
        const char c = char(bytes[offset + i]);
        if (c == 0) return name;
        name += c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
    }
    return std::nullopt;
}

// `name` without a final ".dll" (already in lower case).
std::string_view withoutSuffix(std::string_view name) {
    const bool suffixed =
        name.size() >= dllSuffix.size() && name.substr(name.size() - dllSuffix.size()) == dllSuffix;
    return suffixed ? name.substr(0, name.size() - dllSuffix.size()) : name;
}

} // namespace

std::vector<std::string> importedLoaderNames(const ImageBytes& bytes) {
    std::array<bool, loaderNames.size()> imported{};
    if (const std::optional<uint32_t> directory = importDirectory(bytes)) {
        for (uint32_t d = 0; d < imports::maxDescriptors; ++d) {
            const std::optional<imports::Descriptor> descriptor = imports::descriptorAt(bytes, *directory, d);
            if (!descriptor || descriptor->last()) break;
            const std::optional<std::string> name = shortName(bytes, descriptor->dllName);
            if (!name) continue;
            for (std::size_t k = 0; k < loaderNames.size(); ++k)
                if (withoutSuffix(*name) == loaderNames[k]) imported[k] = true;
        }
    }
    std::vector<std::string> names;
    for (std::size_t k = 0; k < loaderNames.size(); ++k)
        if (imported[k]) names.emplace_back(loaderNames[k]);
    return names;
}

} // namespace lkm
