// The inspector's files, by UTF-8 path on every platform (UTF-16 underneath on
// Windows, so that any name opens). A failure is one line: the tool's own words
// for a missing file, a folder and a file that exists, the operating system's
// text for any rarer reason.
#pragma once

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "lkm/byte_source.hpp"

namespace lkm::inspector {

namespace fileRefusal {
inline constexpr char missing[] = "no such file";
inline constexpr char folder[] = "a folder, not a file";
inline constexpr char exists[] = "already exists; lkm-inspect never replaces a file";
inline constexpr char shorter[] = "the file became shorter while it was read";
inline constexpr char noFolder[] = "its folder does not exist";
} // namespace fileRefusal

// An output file that is not written; the text is the one line the command prints.
struct OutputError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// The file at `path`, opened for reading. Throws FileError (kind unreadable):
// the system's reason, or "a folder, not a file"; its reads throw the same way.
std::unique_ptr<ByteSource> openFile(const std::string& path);

// Creates `path` holding `bytes`; never replaces a file that exists ("already
// exists; lkm-inspect never replaces a file") nor writes into a folder's name
// ("a folder, not a file"); a path whose folder is missing is "its folder does
// not exist". A file that cannot be written whole is removed again. Throws
// OutputError.
void writeNewFile(const std::string& path, const std::vector<uint8_t>& bytes);

// True when both paths name one existing file, however they are spelled.
bool sameFile(const std::string& first, const std::string& second);

} // namespace lkm::inspector
