#include "pe_builder.hpp"

#include <cstring>
#include <sstream>
#include <stdexcept>

namespace lkm::test {

namespace {
void store(std::vector<uint8_t>& bytes, uint32_t offset, uint32_t value, uint32_t width) {
    if (uint64_t(offset) + width > bytes.size()) throw std::out_of_range("PeBuilder write outside the image");
    for (uint32_t i = 0; i < width; ++i) bytes[offset + i] = uint8_t(value >> (8 * i));
}
} // namespace

std::vector<uint8_t> hexBytes(const std::string& text, uint8_t wildcard) {
    std::istringstream in(text);
    std::vector<uint8_t> out;
    for (std::string token; in >> token;)
        out.push_back(token == "??" ? wildcard : uint8_t(std::stoul(token, nullptr, 16)));
    return out;
}

PeBuilder::PeBuilder(uint32_t sizeOfImage, uint32_t base) : base_(base), bytes_(sizeOfImage, 0) {}

PeBuilder& PeBuilder::section(const std::string& name, uint32_t rva, uint32_t virtualSize,
                              uint32_t characteristics, uint32_t rawSize) {
    sections_.push_back({name, rva, virtualSize, rawSize == ~0u ? virtualSize : rawSize, characteristics});
    return *this;
}

PeBuilder& PeBuilder::imports(uint32_t rva, const std::vector<ImportSpec>& dlls) {
    importRva_ = rva;
    uint32_t cursor = rva + 20 * uint32_t(dlls.size() + 1); // descriptors and the all-zero terminator
    for (std::size_t d = 0; d < dlls.size(); ++d) {
        const ImportSpec& dll = dlls[d];
        const uint32_t entries = uint32_t(dll.functions.size() + 1) * 4;
        const uint32_t nameTable = cursor;
        const uint32_t addressTable = nameTable + entries;
        cursor = addressTable + entries;
        for (std::size_t f = 0; f < dll.functions.size(); ++f) {
            const std::string& function = dll.functions[f];
            uint32_t entry;
            if (!function.empty() && function[0] == '#') {
                entry = 0x80000000u | uint32_t(std::stoul(function.substr(1)));
            } else {
                entry = cursor;
                u16(cursor, 0);
                text(cursor + 2, function);
                cursor += 2 + uint32_t(function.size()) + 1;
                cursor += cursor & 1;
            }
            u32(nameTable + 4 * uint32_t(f), entry);
            u32(addressTable + 4 * uint32_t(f), entry);
            slots_[dll.dll + "!" + function] = base_ + addressTable + 4 * uint32_t(f);
        }
        const uint32_t dllName = cursor;
        text(dllName, dll.dll);
        cursor += uint32_t(dll.dll.size()) + 1;
        const uint32_t descriptor = rva + 20 * uint32_t(d);
        u32(descriptor + 0, nameTable);
        u32(descriptor + 12, dllName);
        u32(descriptor + 16, addressTable);
    }
    return *this;
}

uint32_t PeBuilder::slot(const std::string& dll, const std::string& function) const {
    return slots_.at(dll + "!" + function);
}

PeBuilder& PeBuilder::directory(uint32_t index, uint32_t rva, uint32_t size) {
    directories_[index] = {rva, size};
    return *this;
}

PeBuilder& PeBuilder::relocations(uint32_t rva, const std::vector<RelocationBlock>& blocks) {
    uint32_t at = rva;
    for (const RelocationBlock& block : blocks) {
        const uint32_t size = 8 + 2 * uint32_t(block.entries.size());
        u32(at, block.page).u32(at + 4, size);
        for (std::size_t i = 0; i < block.entries.size(); ++i)
            u16(at + 8 + 2 * uint32_t(i), block.entries[i]);
        at += size;
    }
    return directory(5, rva, at - rva);
}

PeBuilder& PeBuilder::bytes(uint32_t offset, const std::vector<uint8_t>& values) {
    if (uint64_t(offset) + values.size() > bytes_.size())
        throw std::out_of_range("PeBuilder write outside the image");
    std::memcpy(bytes_.data() + offset, values.data(), values.size());
    return *this;
}

PeBuilder& PeBuilder::bytes(uint32_t offset, std::initializer_list<uint8_t> values) {
    return bytes(offset, std::vector<uint8_t>(values));
}

PeBuilder& PeBuilder::hex(uint32_t offset, const std::string& text) {
    std::istringstream in(text);
    for (std::string token; in >> token; ++offset) {
        if (offset >= bytes_.size()) throw std::out_of_range("PeBuilder write outside the image");
        if (token != "??") bytes_[offset] = uint8_t(std::stoul(token, nullptr, 16));
    }
    return *this;
}

PeBuilder& PeBuilder::u16(uint32_t offset, uint16_t value) {
    store(bytes_, offset, value, 2);
    return *this;
}

PeBuilder& PeBuilder::u32(uint32_t offset, uint32_t value) {
    store(bytes_, offset, value, 4);
    return *this;
}

PeBuilder& PeBuilder::f32(uint32_t offset, float value) {
    uint32_t bits;
    std::memcpy(&bits, &value, 4);
    return u32(offset, bits);
}

PeBuilder& PeBuilder::text(uint32_t offset, const std::string& value) {
    std::vector<uint8_t> chars(value.begin(), value.end());
    chars.push_back(0);
    return bytes(offset, chars);
}

PeBuilder& PeBuilder::branch(uint32_t offset, uint8_t opcode, uint32_t target) {
    store(bytes_, offset, opcode, 1);
    return u32(offset + 1, target - (base_ + offset + 5));
}

PeBuilder& PeBuilder::fill(uint32_t offset, uint32_t count, uint8_t value) {
    if (uint64_t(offset) + count > bytes_.size())
        throw std::out_of_range("PeBuilder write outside the image");
    std::memset(bytes_.data() + offset, value, count);
    return *this;
}

std::vector<uint8_t> PeBuilder::build() const {
    std::vector<uint8_t> out = bytes_;
    store(out, 0, 0x5A4D, 2);            // "MZ"
    store(out, 0x3C, peHeader, 4);       // e_lfanew
    store(out, peHeader, 0x00004550, 4); // "PE\0\0"
    store(out, peHeader + 4, 0x014C, 2); // Machine: i386
    store(out, peHeader + 6, uint32_t(sections_.size()), 2);
    store(out, peHeader + 0x14, optionalHeaderSize, 2);
    store(out, peHeader + 0x16, 0x0102, 2); // executable, 32-bit machine
    store(out, optionalHeader, 0x010B, 2);  // PE32
    store(out, peHeader + 0x34, base_, 4);  // ImageBase
    store(out, peHeader + 0x38, 0x1000, 4); // SectionAlignment
    store(out, peHeader + 0x3C, 0x200, 4);  // FileAlignment
    store(out, sizeOfImageField, uint32_t(out.size()), 4);
    store(out, peHeader + 0x54, 0x400, 4); // SizeOfHeaders
    store(out, peHeader + 0x74, 16, 4);    // NumberOfRvaAndSizes
    store(out, importDirectoryField, importRva_, 4);
    for (std::size_t i = 0; i < sections_.size(); ++i) {
        const SectionEntry& s = sections_[i];
        const uint32_t entry = sectionTable + 40 * uint32_t(i);
        for (std::size_t c = 0; c < 8 && c < s.name.size(); ++c) out.at(entry + c) = uint8_t(s.name[c]);
        store(out, entry + 8, s.virtualSize, 4);
        store(out, entry + 12, s.rva, 4);
        store(out, entry + 16, s.rawSize, 4);
        store(out, entry + 36, s.characteristics, 4);
    }
    for (const auto& [index, range] : directories_) {
        store(out, optionalHeader + 0x60 + 8 * index, range.first, 4);
        store(out, optionalHeader + 0x64 + 8 * index, range.second, 4);
    }
    return out;
}

std::vector<uint8_t> PeBuilder::file() const {
    std::vector<uint8_t> out = build();
    for (std::size_t i = 0; i < sections_.size(); ++i)
        store(out, sectionTable + 40 * uint32_t(i) + 20, sections_[i].rva, 4);
    return out;
}

} // namespace lkm::test
