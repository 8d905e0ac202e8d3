// Live process memory for tests: byte blocks at chosen addresses, every other
// address unreadable. A read succeeds only inside one block.
#pragma once

#include <cstdint>
#include <cstring>
#include <map>
#include <utility>
#include <vector>

#include "lkm/live_bytes.hpp"

namespace lkm::test {

class LiveMemory : public lkm::LiveBytes {
public:
    LiveMemory& map(uint32_t address, std::vector<uint8_t> bytes) {
        blocks_[address] = std::move(bytes);
        return *this;
    }
    bool read(uint32_t address, uint8_t* out, std::size_t length) const override {
        auto block = blocks_.upper_bound(address);
        if (block == blocks_.begin()) return false;
        --block;
        const uint64_t offset = uint64_t(address) - block->first;
        if (offset > block->second.size() || block->second.size() - offset < length) return false;
        if (length != 0) std::memcpy(out, block->second.data() + offset, length);
        return true;
    }

private:
    std::map<uint32_t, std::vector<uint8_t>> blocks_;
};

} // namespace lkm::test
