// A file that cannot be laid out as the loader maps it; `kind` tells the
// reasons apart, the text is the one line a tool prints.
#pragma once

#include <stdexcept>
#include <string>

namespace lkm {

struct FileError : std::runtime_error {
    enum class Kind {
        unreadable,   // cannot be opened or read
        notPe,        // no MZ header or no PE signature
        unsupported,  // a PE file, but not one the plug-in could run in
        truncated,    // a header or a section's raw data lies past the end of the file
        inconsistent, // a section lies past the end of the image
        relocations,  // its base relocations cannot be applied at another load address
    };
    FileError(Kind reason, const std::string& message) : std::runtime_error(message), kind(reason) {}
    Kind kind;
};

} // namespace lkm
