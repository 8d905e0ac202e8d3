// What the inspector learns about one executable: the recognition verdict,
// any earlier patch, the recognised places and, for a resolution, the patches
// the plug-in would commit.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "lkm/byte_source.hpp"

namespace lkm::inspector {

struct Options {
    std::string path;
    std::optional<std::pair<int, int>> resolution; // --resolution WxH
    bool keepUi = true;                            // --keep-ui 0|1
    bool json = false;                             // --json
    bool help = false;                             // --help
    std::optional<std::string> restoreTo;          // --restore-stock OUT.exe
};

struct Place {
    std::string name;
    uint32_t address;
    std::string section;
    std::optional<float> value;         // the constant stored there, for float places
    std::optional<uint32_t> valueField; // the value field's address, for CVar objects
};

struct Change {
    uint32_t address;
    std::string section;
    std::string before; // hex bytes
    std::string after;  // hex bytes; "??" where only the running process knows them
    std::string what;   // the recognised places the bytes belong to
    std::optional<uint32_t> fileOffset;
    uint32_t length = 0; // bytes in the run
};

// The stock executable written back from an earlier-patched one.
struct Restoration {
    std::string output;               // the new file's path
    std::vector<uint8_t> stockFile;   // its bytes; empty for a stock input, which writes nothing
    std::optional<uint32_t> checksum; // the PE checksum recomputed; none when the input's was 0
};

struct Report {
    std::string file;
    bool supported = false;
    std::string failure; // the recognition message when not supported
    // The ASI loader names the executable imports (lkm::importedLoaderNames),
    // recognised or not: the game may load more of them later.
    std::vector<std::string> loaderNames;

    float aspect = 0.0f;
    bool earlierPatch = false;         // normalisation changed the file somewhere
    bool cameraAspectChanged = false;  // among that the camera aspect: the plug-in logs its notice
    std::vector<Change> normalization; // where the file differs from the stock engine

    std::vector<Place> places;
    std::vector<Place> cvars;
    std::vector<Place> setters;
    int32_t defaultFocal = 0;

    bool planned = false;
    int resolutionX = 0;
    int resolutionY = 0;
    bool keepUi = true;
    std::vector<Change> patches;      // plan runs, ascending
    std::vector<Change> redirections; // the five setter jumps

    std::optional<Restoration> restoration; // with --restore-stock
};

// Throws FileError for a file that cannot be mapped, and RestoreError for an
// earlier patch that cannot be undone in the file; a recognition failure is
// part of the report. lkm::build failures propagate as std::runtime_error.
// Writes nothing. `file` holds the executable that options.path names.
Report inspectSource(const ByteSource& file, const Options& options);

std::string renderText(const Report& report);
std::string renderJson(const Report& report);
// A JSON object of text fields, in order: how a refusal reads with --json.
std::string renderJsonObject(const std::vector<std::pair<std::string, std::string>>& textFields);

} // namespace lkm::inspector
