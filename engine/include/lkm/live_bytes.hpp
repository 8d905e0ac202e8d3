// The running process's memory as far as it can be read: the only way the
// comparison and the jump decoder reach live bytes. The plug-in reads through
// the system's query of each page; tests give plain buffers.
#pragma once

#include <cstddef>
#include <cstdint>

namespace lkm {

struct LiveBytes {
    virtual ~LiveBytes() = default;
    // Copies the `length` bytes at `address` to `out` when every one of them
    // can be read; false otherwise (also for a range past 2^32), and then
    // `out` holds nothing meaningful. Never faults.
    virtual bool read(uint32_t address, uint8_t* out, std::size_t length) const = 0;
};

} // namespace lkm
