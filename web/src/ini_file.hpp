// The INI the page offers: the plug-in's commented default INI with the
// player's values in place of the defaults.
#pragma once

#include <string>

#include "settings.hpp"

namespace lkm::web {

// The default INI as it ships, embedded when the page is built.
extern const char defaultIni[];

// `ini` with the value of each key of lkm::plugin::ini::keys in section MAIN replaced
// by `settings`' value; every other line as it was.
std::string filledIni(const std::string& ini, const lkm::plugin::Settings& settings);

} // namespace lkm::web
