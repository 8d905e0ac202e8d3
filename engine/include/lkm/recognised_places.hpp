// Every place of the game's code that recognition found, by name, in the order
// reports list them: what a tool shows of a layout.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "lkm/layout.hpp"

namespace lkm {

struct RecognisedPlace {
    enum Kind { code, floatValue, addressInGame };
    const char* name; // lkm::placeName
    uint32_t at;      // an image offset; a game address for `addressInGame`
    Kind kind;
};

std::vector<RecognisedPlace> recognisedPlaces(const Layout& layout);

// The name of the recognised place that holds the image offset `offset` of a
// module loaded at `base`: a value or reference recognition found, a patch
// space, a GUI conversion, a CVar setter ("CVar setter 2"), the root GUI
// initializer or a call site ("main camera projection"); the smallest such
// place where several hold it. None outside every place.
std::optional<std::string> placeAt(const Layout& layout, uint32_t base, uint32_t offset);

} // namespace lkm
