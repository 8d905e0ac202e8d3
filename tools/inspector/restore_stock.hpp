// A stock executable from an earlier-patched one: every run of the earlier
// patch written back, at its file offset, with the stock bytes the plug-in
// works from, and the PE checksum made to match again.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "lkm/image_bytes.hpp"
#include "lkm/mapped_file.hpp"
#include "report.hpp"

namespace lkm::inspector {

// An earlier patch that cannot be undone in the file; the text is the one line the command prints.
struct RestoreError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// The PE checksum of `file`, as Windows computes it: the 16-bit little-endian
// words summed with their carries folded back in, the 4 bytes at
// `checkSumPosition` counted as zero (an odd last byte counts alone), plus the
// file's length.
uint32_t peChecksum(const std::vector<uint8_t>& file, uint64_t checkSumPosition);

// `file` with the stock bytes of every run of `stock` (image offsets: the runs
// normalisation changed) put back at its file offset; the checksum recomputed
// when the input's was not 0. `described` names each run, in the same order,
// for a refusal. Throws RestoreError for a run that does not lie whole in one
// section's raw data.
Restoration restoreStock(std::vector<uint8_t> file, const MappedFile& mapped,
                         const std::vector<lkm::ByteRun>& stock, uint32_t base,
                         const std::vector<Change>& described, const std::string& output);

} // namespace lkm::inspector
