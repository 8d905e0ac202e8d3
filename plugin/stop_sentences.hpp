// The lines that explain, after "Initialization stopped: ", what stands in the
// plug-in's way: each sentence once. "%s" and "%u" mark, in order, the parts
// filled in (place names, module file names, counts); no other '%' is one.
#pragma once

namespace lkm::plugin::stopSentence {

// One line for each place that differs (at most maxShownPlaces).
inline constexpr char jumpsIntoModule[] = "%s jumps into %s.";
inline constexpr char jumpsIntoNoModule[] = "%s jumps into memory of no module.";
inline constexpr char differsOnDisk[] = "%s differs from %s on disk.";
inline constexpr char moreDiffer[] = "%u more places differ.";

// What to do, when places jump into modules: the list of modules, "it" or
// "them", the way to load after the plug-in, the ChainHooks part or nothing.
inline constexpr char removeOrLoadAfter[] =
    "To start the plug-in, remove %s, or let %s load after this plug-in: %s%s.";
inline constexpr char nameAfter[] = "give %s file name a place after %s in alphabetical order";
inline constexpr char moveAndNameAfter[] =
    "put %s into the plug-in's folder (%s) with a file name after %s in alphabetical order";
inline constexpr char chainHooks[] = ", or set ChainHooks=1 in the INI to run the plug-in behind %s hook";
inline constexpr char it[] = "it";
inline constexpr char them[] = "them";
inline constexpr char its[] = "its";
inline constexpr char their[] = "their";
inline constexpr char lastSeparator[] = " and "; // "A, B and C"
inline constexpr char separator[] = ", ";
inline constexpr char gameFolder[] = "the game's folder";
// What to do, when no place jumps into a module.
inline constexpr char closeTool[] =
    "To start the plug-in, close the program that changed the game's code in "
    "memory (a trainer or memory tool), or start it after the game has started.";

// Instead of the places.
inline constexpr char sameAsFile[] =
    "The game's code in memory is the same as %s on disk: this version of the game is one the plug-in does "
    "not recognise, and no other mod changed it.";
inline constexpr char changedThroughout[] = "The game's code in memory differs from %s on disk at more than "
                                            "64 places or in more than 1% of its code: "
                                            "the executable is packed or changed throughout.";
inline constexpr char cannotCompare[] = "Cannot compare the game's code with %s on disk: %s.";
inline constexpr char fileUnreadable[] = "the file cannot be read";
inline constexpr char notPe[] = "it is not a PE file";
inline constexpr char tooLarge[] = "it is larger than 1 GiB";
inline constexpr char relocations[] = "its relocations cannot be applied";
inline constexpr char otherExecutable[] = "it is not the executable the game runs";

} // namespace lkm::plugin::stopSentence
