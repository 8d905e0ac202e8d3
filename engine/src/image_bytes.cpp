#include "lkm/image_bytes.hpp"
#include "lkm/messages.hpp"

#include <algorithm>
#include <cstring>
#include <stdexcept>
#include <utility>

namespace lkm {

ImageBytes::ImageBytes(std::vector<uint8_t> bytes)
    : owned_(std::move(bytes)), data_(owned_.data()), size_(owned_.size()) {}

ImageBytes ImageBytes::inPlace(const uint8_t* data, std::size_t size, std::vector<Run> unreadable) {
    ImageBytes view;
    view.data_ = data;
    view.size_ = size;
    for (const Run& range : unreadable)
        if (range.length != 0) view.exceptions_.push_back({range.offset, range.length, {}});
    return view;
}

// An owning copy owns a copy; a view stays a view of the same bytes.
ImageBytes::ImageBytes(const ImageBytes& other)
    : owned_(other.owned_), data_(other.data_), size_(other.size_), exceptions_(other.exceptions_) {
    if (!owned_.empty()) data_ = owned_.data();
}

ImageBytes& ImageBytes::operator=(const ImageBytes& other) {
    if (this != &other) *this = ImageBytes(other);
    return *this;
}

// A moved vector keeps its buffer, so data_ stays valid.
ImageBytes::ImageBytes(ImageBytes&& other) noexcept
    : owned_(std::move(other.owned_)), data_(other.data_), size_(other.size_),
      exceptions_(std::move(other.exceptions_)) {
    other.data_ = nullptr;
    other.size_ = 0;
}

ImageBytes& ImageBytes::operator=(ImageBytes&& other) noexcept {
    owned_ = std::move(other.owned_);
    data_ = other.data_;
    size_ = other.size_;
    exceptions_ = std::move(other.exceptions_);
    other.data_ = nullptr;
    other.size_ = 0;
    return *this;
}

ImageBytes ImageBytes::overlaid(const std::vector<ByteRun>& runs) const {
    ImageBytes view;
    view.data_ = data_;
    view.size_ = size_;
    // This object's own exceptions first, then each run over them: the pieces
    // of an exception that a run leaves uncovered stay.
    std::vector<Exception> merged = exceptions_;
    for (const ByteRun& run : runs) {
        require(detail::fits(size_, run.offset, uint32_t(run.bytes.size())), message::invalidPatchRange);
        if (run.bytes.empty()) continue;
        const uint64_t begin = run.offset, end = run.end();
        std::vector<Exception> next;
        for (Exception& e : merged) {
            const uint64_t eEnd = uint64_t(e.offset) + e.length;
            if (eEnd <= begin || e.offset >= end) {
                next.push_back(std::move(e));
                continue;
            }
            const auto piece = [&](uint64_t from, uint64_t to) {
                Exception part{uint32_t(from), uint32_t(to - from), {}};
                if (!e.bytes.empty())
                    part.bytes.assign(e.bytes.begin() + std::ptrdiff_t(from - e.offset),
                                      e.bytes.begin() + std::ptrdiff_t(to - e.offset));
                next.push_back(std::move(part));
            };
            if (e.offset < begin) piece(e.offset, begin);
            if (eEnd > end) piece(end, eEnd);
        }
        next.push_back({run.offset, uint32_t(run.bytes.size()), run.bytes});
        merged = std::move(next);
    }
    std::sort(merged.begin(), merged.end(),
              [](const Exception& a, const Exception& b) { return a.offset < b.offset; });
    view.exceptions_ = std::move(merged);
    return view;
}

const ImageBytes::Exception* ImageBytes::exceptionAt(std::size_t index) const {
    auto after = std::upper_bound(exceptions_.begin(), exceptions_.end(), index,
                                  [](std::size_t i, const Exception& e) { return i < e.offset; });
    if (after == exceptions_.begin()) return nullptr;
    const Exception& e = *(after - 1);
    return index - e.offset < e.length ? &e : nullptr;
}

uint8_t ImageBytes::operator[](std::size_t index) const {
    if (exceptions_.empty()) return data_[index];
    const Exception* e = exceptionAt(index);
    if (!e) return data_[index];
    return e->bytes.empty() ? 0 : e->bytes[index - e->offset];
}

uint8_t ImageBytes::at(std::size_t index) const {
    if (index >= size_) throw std::out_of_range("ImageBytes::at");
    return (*this)[index];
}

// The first exception that ends after `offset`.
std::vector<ImageBytes::Exception>::const_iterator ImageBytes::firstEndingAfter(uint64_t offset) const {
    return std::upper_bound(exceptions_.begin(), exceptions_.end(), offset,
                            [](uint64_t o, const Exception& x) { return o < uint64_t(x.offset) + x.length; });
}

const uint8_t* ImageBytes::direct(uint64_t offset, uint64_t length) const {
    if (offset > size_ || size_ - offset < length) return nullptr;
    if (length == 0) return data_ + offset;
    const auto e = firstEndingAfter(offset);
    if (e != exceptions_.end() && e->offset < offset + length) return nullptr;
    return data_ + offset;
}

void ImageBytes::copy(uint64_t offset, std::size_t length, uint8_t* out) const {
    const uint64_t end = offset + length;
    uint64_t at = offset;
    for (auto e = firstEndingAfter(offset); at < end; ++e) {
        const uint64_t next =
            e == exceptions_.end() ? end : std::min<uint64_t>(std::max<uint64_t>(e->offset, at), end);
        if (next > at) std::memcpy(out + (at - offset), data_ + at, std::size_t(next - at));
        if (next == end) break;
        // Inside the exception from `next` on.
        const uint64_t stop = std::min<uint64_t>(uint64_t(e->offset) + e->length, end);
        uint8_t* to = out + (next - offset);
        if (e->bytes.empty())
            std::memset(to, 0, std::size_t(stop - next));
        else
            std::memcpy(to, e->bytes.data() + (next - e->offset), std::size_t(stop - next));
        at = stop;
    }
}

std::vector<uint8_t> ImageBytes::slice(uint32_t offset, uint32_t length) const {
    require(detail::fits(size_, offset, length), message::invalidImageRange);
    std::vector<uint8_t> out(length);
    copy(offset, length, out.data());
    return out;
}

std::vector<uint8_t> ImageBytes::all() const {
    std::vector<uint8_t> out(size_);
    copy(0, size_, out.data());
    return out;
}

} // namespace lkm
