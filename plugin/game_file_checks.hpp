// What the plug-in reads of the game's executable file on disk once it has
// recognised the game in memory: only the bytes of the places it must check,
// a few hundred at most, and only when there is something to check. The image
// it recognises and patches is always the one in memory.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "lkm/byte_source.hpp"
#include "lkm/layout.hpp"
#include "process_view.hpp"

namespace lkm::plugin {

// Opens the game's executable for reading (throws lkm::FileError when it cannot).
using OpenGameFile = std::function<std::unique_ptr<lkm::ByteSource>()>;

namespace notice {
// The camera aspect differs from 4/3 and the file on disk carries that aspect.
inline constexpr char earlierPatchOnDisk[] =
    "A previous executable patch was normalized in memory. Restore the previous on-disk patch for a clean "
    "migration.";
// A place normalisation restored holds other bytes in memory than in the file.
inline constexpr char changedInMemory[] =
    "Another program changed the game's code in memory before the plugin started; the plugin's values "
    "replace those changes.";
} // namespace notice

// The notices that follow the summary, for the places normalisation changed
// (Layout::normalized) of the module loaded at `base`: the earlier on-disk
// patch's, where the camera aspect differs from 4/3 and the file holds that
// aspect too (or cannot be read: then the file is taken to hold it), and
// notice::changedInMemory where any such place differs from the file. Opens
// the file only when normalisation changed a place.
std::vector<std::string> earlierPatchNotices(const lkm::Layout& layout, uint32_t base,
                                             const OpenGameFile& open);

// For every setter whose entry another mod's jump replaced (Layout::setterJumps),
// the file must hold the engine's own first instruction there; throws
// CodeInTheWay ("Unsupported CVar hook instruction.") otherwise, and when the
// file cannot be read. Opens the file only when there is such a setter.
void requireStockEntriesOnDisk(const lkm::Layout& layout, uint32_t base, const OpenGameFile& open);

namespace notice {
// One line for each setter the plug-in runs behind another mod's hook: the
// setter's name and the module the hook lies in (or "memory of no module").
inline constexpr char chainedBehind[] = "%s runs behind the hook of %s.";
inline constexpr char noModule[] = "memory of no module";
} // namespace notice

std::vector<std::string> chainedHookLines(const lkm::Layout& layout, const ProcessView& process);

} // namespace lkm::plugin
