#include "js_source.hpp"

#include <emscripten.h>

#include <cstdlib>
#include <string>

#include "files.hpp"
#include "lkm/mapped_file.hpp"

// Copies `length` bytes from `offset` of the worker's source to `out`. Returns
// null, 1 when fewer bytes came, or the browser's reason (malloc'd) when it
// could not read them.
EM_JS(char*, lkm_source_read, (double offset, uint8_t* out, double length), {
    try {
        const bytes = Module.lkmSource.read(offset, length);
        if (bytes.length != length) return 1;
        HEAPU8.set(bytes, out);
        return 0;
    } catch (error) {
        const text = String(error && error.message || error);
        const size = lengthBytesUTF8(text) + 1;
        const copy = _malloc(size);
        stringToUTF8(text, copy, size);
        return copy;
    }
});

namespace lkm::web {

using lkm::FileError;

char* const shortRead = reinterpret_cast<char*>(1);

uint64_t JsSource::size() const {
    if (folder_) throw FileError(FileError::Kind::unreadable, lkm::inspector::fileRefusal::folder);
    return size_;
}

void JsSource::read(uint64_t offset, uint8_t* out, std::size_t length) const {
    if (length == 0) return;
    char* failure = lkm_source_read(double(offset), out, double(length));
    if (failure == shortRead)
        throw FileError(FileError::Kind::unreadable, lkm::inspector::fileRefusal::shorter);
    if (failure != nullptr) {
        const std::string reason = failure;
        std::free(failure);
        throw FileError(FileError::Kind::unreadable, reason);
    }
}

} // namespace lkm::web
