// Where the loader writes the addresses of imported functions into an image:
// the import address table directory (data directory 12) and every import
// descriptor's FirstThunk array, one slot for each entry of its name table.
#pragma once

#include <vector>

#include "lkm/byte_source.hpp"
#include "lkm/diff.hpp"
#include "lkm/file_headers.hpp"

namespace lkm {

// The image ranges (offset, length), unsorted, that the loader may write when
// it resolves the imports of `file`. Bounded: at most 512 descriptors of 8192
// slots each are read, and no range reaches past SizeOfImage; a directory that
// does not fit adds nothing.
std::vector<Run> importAddressRanges(const FileHeaders& headers, const ByteSource& file);

} // namespace lkm
