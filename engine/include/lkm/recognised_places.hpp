// Every place of the game's code that recognition found, by name, in the order
// reports list them: what a tool shows of a layout.
#pragma once

#include <cstdint>
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

} // namespace lkm
