// Why the start-up stopped, told from the game's code in memory against its
// executable file on disk: which places differ, which module each of them
// jumps into, and what the player can do about it (stop_sentences.hpp).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "lkm/byte_source.hpp"
#include "lkm/code_comparison.hpp"
#include "lkm/image.hpp"
#include "process_view.hpp"

namespace lkm::plugin {

inline constexpr uint32_t mostShownPlaces = 8;                     // lines naming a place
inline constexpr uint32_t mostExplainedPlaces = lkm::keptRuns - 1; // more is "changed throughout"

// The name of a recognised place at an image offset ("CVar setter 2"), or none.
using PlaceNames = std::function<std::optional<std::string>(uint32_t offset)>;

struct StopContext {
    std::string gamePath;   // the game's executable, full path (UTF-8)
    std::string pluginPath; // the plug-in's own file, full path (UTF-8)
    uint32_t gameBase = 0;  // where the game's module is loaded
    PlaceNames placeName;   // may be empty: every place is then "<game file>+0x<offset>"
};

// Where the jump at `address` leads, in the forms hooking libraries write
// (lkm::jumpTarget): into a module (its full path), into memory of no module,
// or nowhere (no jump there). Where the target lies in executable memory of
// no module (a trampoline), one more jump there is followed.
struct Lead {
    enum class Kind { module, noModule, noJump } kind = Kind::noJump;
    std::string module; // full path, for Kind::module
};
Lead leadOf(uint32_t address, const ProcessView& process);
// The same for a jump's known target.
Lead leadInto(uint32_t target, const ProcessView& process);

// The lines to log, in order: the places (at most mostShownPlaces, grouped by
// the module they jump into, in the order of each group's first place; places
// without a jump last), "<n> more places differ." when more differ, and what
// to do; or the one line that says the code agrees, differs throughout, or
// could not be compared. Reads the process only through `process`, at most two
// jumps per place.
std::vector<std::string> explanationLines(const lkm::CodeComparison& comparison, const StopContext& context,
                                          const ProcessView& process);

// The names recognition gives the places of `comparison` in the executable's
// own code: the file's bytes at every differing run laid over `live` (the
// module in memory, read in place) and recognised there. Empty when that
// recognition fails too. Throws what reading the file throws.
PlaceNames placeNamesFor(const lkm::Image& live, const lkm::CodeComparison& comparison,
                         const lkm::ByteSource& file);

// Opens the game's file with `openGameFile` (a failure to open is "the file
// cannot be read"), compares its code with the module in memory, and returns
// explanationLines; with `live`, the places named by placeNamesFor. Never
// throws: when the explanation itself fails (memory running out), no line.
std::vector<std::string> explainStop(const std::function<std::unique_ptr<lkm::ByteSource>()>& openGameFile,
                                     const StopContext& context, const ProcessView& process,
                                     const lkm::Image* live = nullptr) noexcept;

} // namespace lkm::plugin
