// CVar objects at addresses below 4 GiB, so that a test can put their
// addresses into the 32-bit fields of the layout, as inside the game. In a
// 32-bit process any memory will do; a 64-bit Linux process maps it low.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#if UINTPTR_MAX > 0xFFFFFFFFu && defined(__linux__)
#include <sys/mman.h>
#endif

namespace lkm::plugin::test {

class LowMemory {
public:
    explicit LowMemory(std::size_t size) : size_(size) {
#if UINTPTR_MAX <= 0xFFFFFFFFu
        owned_ = std::make_unique<uint8_t[]>(size);
        bytes_ = owned_.get();
#elif defined(__linux__) && defined(MAP_32BIT)
        void* p = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_32BIT, -1, 0);
        if (p != MAP_FAILED) bytes_ = static_cast<uint8_t*>(p);
#endif
    }
    ~LowMemory() {
#if UINTPTR_MAX > 0xFFFFFFFFu && defined(__linux__)
        if (bytes_) munmap(bytes_, size_);
#endif
    }
    LowMemory(const LowMemory&) = delete;
    LowMemory& operator=(const LowMemory&) = delete;

    // Null when the system has no way to provide low memory (the test then skips).
    uint8_t* bytes() const {
        return bytes_;
    }
    uint32_t address(std::size_t offset) const {
        return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(bytes_ + offset));
    }

private:
    [[maybe_unused]] std::size_t size_; // used where the memory is mapped
    std::unique_ptr<uint8_t[]> owned_;
    uint8_t* bytes_ = nullptr;
};

} // namespace lkm::plugin::test
