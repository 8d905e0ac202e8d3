// Lists of byte runs at image offsets: how the image's own bytes at the places
// recognition validated are kept, and how the image with every recognised
// place back to stock, or patched, differs from it, without a copy of the image.
#pragma once

#include <cstdint>
#include <vector>

#include "lkm/diff.hpp"
#include "lkm/image_bytes.hpp"

namespace lkm {

// The ranges ascending, those that overlap or touch joined into one.
std::vector<Run> mergedRanges(std::vector<Run> ranges);

// The bytes of `bytes` in each of `ranges` (ascending, disjoint, inside the
// bytes: "Invalid image range." otherwise).
std::vector<ByteRun> copiedRanges(const ImageBytes& bytes, const std::vector<Run>& ranges);

// Adds the bytes of [offset, offset + length) to `runs` (ascending, disjoint),
// joined with every run it overlaps or touches; the bytes already held win.
void addCopiedRange(std::vector<ByteRun>& runs, const ImageBytes& bytes, uint32_t offset, uint32_t length);

// Writes `piece` into the run of `runs` that holds all of it ("Invalid patch
// range." when none does).
void layOver(std::vector<ByteRun>& runs, const ByteRun& piece);

// The maximal runs in which `after` differs from `before`, with the bytes of
// `after`; the two lists hold the same ranges.
std::vector<ByteRun> changedRuns(const std::vector<ByteRun>& before, const std::vector<ByteRun>& after);

// The `length` bytes at `offset`, when one run of `runs` holds all of them; else empty.
std::vector<uint8_t> bytesIn(const std::vector<ByteRun>& runs, uint32_t offset, uint32_t length);

} // namespace lkm
