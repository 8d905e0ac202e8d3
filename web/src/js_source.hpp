// The executable the page holds in JavaScript (a chosen File, or bytes in
// memory), read range by range straight into the engine's memory: the file is
// never copied through a virtual file system.
#pragma once

#include <cstddef>
#include <cstdint>

#include "lkm/byte_source.hpp"

namespace lkm::web {

class JsSource : public lkm::ByteSource {
public:
    // `size` bytes that the worker's current source holds; `folder` marks a
    // dropped folder, which reads as the inspector's refusal of a folder.
    JsSource(double size, bool folder) : size_(uint64_t(size)), folder_(folder) {}
    uint64_t size() const override;
    void read(uint64_t offset, uint8_t* out, std::size_t length) const override;

private:
    uint64_t size_;
    bool folder_;
};

} // namespace lkm::web
