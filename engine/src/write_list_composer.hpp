// Builds a list of named writes, refusing each write that does not fit the
// target's bytes at the moment it is added, so that a list fails with the
// same sentence, at the same step, as writing the bytes one after the other.
#pragma once

#include <cstdint>
#include <vector>

#include "lkm/plan_writes.hpp"

namespace lkm {

class WriteListComposer {
public:
    explicit WriteListComposer(const WriteTarget& target) : target_(target) {}

    // "Invalid patch range." unless `length` bytes from `offset` on fit the target.
    void requireRoom(uint32_t offset, uint32_t length) const;

    void addFloat(const char* name, uint32_t offset, float value);
    void addFloatBits(const char* name, uint32_t offset, uint32_t bits);
    void addAddress(const char* name, uint32_t offset, uint32_t address);
    void addCode(const char* name, uint32_t offset, std::vector<uint8_t> code);

    std::vector<Write> take() { return std::move(writes_); }

private:
    void add(const char* name, uint32_t offset, std::vector<uint8_t> bytes, WriteContent content);

    const WriteTarget& target_;
    std::vector<Write> writes_;
};

} // namespace lkm
