// Which names an ASI loader can take for a game: a loader DLL dropped into the
// game folder is loaded only under the name of a DLL the game loads.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "lkm/image_bytes.hpp"

namespace lkm {

// The file names, without ".dll", that the common ASI loaders are shipped under.
inline constexpr std::array<const char*, 10> loaderNames = {
    "winmm", "dinput8", "dinput", "version", "d3d8", "d3d9", "d3d11", "ddraw", "dsound", "xinput1_3"};

// The loaderNames that the import descriptors of a mapped image name, in the
// order of loaderNames, each once. A DLL name counts in any case of letters,
// with ".dll" or without, whatever its imports are (by name or by ordinal).
// Only the executable's own imports: the game may load more of these later
// (LoadLibrary). Never fails: a descriptor whose DLL name cannot be read is
// passed over, and a directory that cannot be walked (no PE32 headers, no
// import directory, a descriptor past the end of the image) ends the walk, so
// the list is what could be read.
std::vector<std::string> importedLoaderNames(const ImageBytes& bytes);

} // namespace lkm
