// CVar objects at addresses below 4 GiB, so that a native 64-bit test can put
// their addresses into the 32-bit fields of the layout, as inside the game.
#pragma once

#include <cstddef>
#include <cstdint>
#include <sys/mman.h>

namespace lwftest {

class LowMemory {
public:
    explicit LowMemory(std::size_t size) : size_(size) {
#ifdef MAP_32BIT
        void* p = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_32BIT, -1, 0);
        if (p != MAP_FAILED) bytes_ = static_cast<uint8_t*>(p);
#endif
    }
    ~LowMemory() {
        if (bytes_) munmap(bytes_, size_);
    }
    LowMemory(const LowMemory&) = delete;
    LowMemory& operator=(const LowMemory&) = delete;

    // Null when the system has no way to map low memory (the test then skips).
    uint8_t* bytes() const {
        return bytes_;
    }
    uint32_t address(std::size_t offset) const {
        return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(bytes_ + offset));
    }

private:
    std::size_t size_;
    uint8_t* bytes_ = nullptr;
};

} // namespace lwftest
