// The game's own main module as the loader mapped it, read through the
// engine's one PE header reader.
#pragma once

#include <cstdint>
#include <vector>

#include "lkm/pe_headers.hpp"

namespace lkm::game {

// The main module's load address.
const uint8_t* ownImageBase();
// SizeOfImage of the main module.
uint32_t ownImageSize();
// Every section-table entry of the main module.
std::vector<lkm::SectionHeader> ownSections();

} // namespace lkm::game
