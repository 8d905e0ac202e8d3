// Code-like filler for large executable sections (the benchmarks, the large
// stand-in game): a stream of the instructions compiled 32-bit game code is
// made of (stack-frame loads and stores, calls, pushes, compares and branches,
// x87 and SSE arithmetic, SEH prologues, int3 padding), with operands drawn
// the way real code has them: small stack displacements, absolute addresses
// inside a module, short and near branch distances, small immediates and float
// constants.
//
// The search benchmark depends on one property that real code has as well:
// each lead byte of the engine signatures (68, A1, D9, F3, 64) occurs at least
// once in every 100 consecutive bytes. codeFiller guarantees it for every
// window; fillerWindowHolds checks it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace lkm::filler {

// The lead bytes that every 100-byte window holds.
inline constexpr uint8_t signatureLeads[] = {0x68, 0xA1, 0xD9, 0xF3, 0x64};
inline constexpr std::size_t leadWindow = 100;

namespace detail {

// Operand placeholders in the templates below.
//   s  stack or frame displacement (disp8, multiple of 4)
//   j  short branch distance (rel8)
//   b  small immediate (imm8)
//   d  absolute address inside the module (4 bytes)
//   r  near branch distance (rel32)
//   i  immediate (4 bytes: small integer, flag mask or float constant)
struct Template {
    unsigned weight;
    const char* text;
};

// clang-format off
inline constexpr Template instructions[] = {
    {40, "8B 44 24 s"},    // mov eax, [esp+s]
    {30, "8B 4C 24 s"},    // mov ecx, [esp+s]
    {20, "8B 54 24 s"},    // mov edx, [esp+s]
    {25, "89 44 24 s"},    // mov [esp+s], eax
    {30, "8B 45 s"},       // mov eax, [ebp+s]
    {20, "89 45 s"},       // mov [ebp+s], eax
    {15, "8B 4D s"},       // mov ecx, [ebp+s]
    {20, "8B 46 s"},       // mov eax, [esi+s]
    {15, "89 4E s"},       // mov [esi+s], ecx
    {10, "8B 86 d"},       // mov eax, [esi+disp32]
    {10, "8B 0D d"},       // mov ecx, [addr]
    {8,  "A1 d"},          // mov eax, [addr]
    {6,  "A3 d"},          // mov [addr], eax
    {20, "8B CE"},         // mov ecx, esi
    {15, "8B F1"},         // mov esi, ecx
    {10, "8B C7"},         // mov eax, edi
    {40, "E8 r"},          // call rel32
    {8,  "E9 r"},          // jmp rel32
    {8,  "FF 15 d"},       // call [import]
    {6,  "FF D0"},         // call eax
    {6,  "FF 50 s"},       // call [eax+s]
    {15, "50"}, {15, "51"}, {8, "52"}, {12, "53"}, {15, "55"}, {20, "56"}, {15, "57"},
    {12, "5E"}, {10, "5F"}, {10, "5B"}, {10, "5D"}, {6, "59"},
    {12, "6A b"},          // push imm8
    {10, "68 i"},          // push imm32
    {10, "8D 4C 24 s"},    // lea ecx, [esp+s]
    {8,  "8D 45 s"},       // lea eax, [ebp+s]
    {15, "83 C4 s"},       // add esp, s
    {8,  "83 EC s"},       // sub esp, s
    {10, "81 EC i"},       // sub esp, imm32
    {20, "85 C0"},         // test eax, eax
    {10, "84 C0"},         // test al, al
    {10, "3B C1"},         // cmp eax, ecx
    {8,  "83 F8 b"},       // cmp eax, imm8
    {6,  "3D i"},          // cmp eax, imm32
    {20, "74 j"},          // je short
    {18, "75 j"},          // jne short
    {10, "EB j"},          // jmp short
    {6,  "7C j"}, {6, "7D j"},
    {8,  "0F 84 r"},       // je near
    {8,  "0F 85 r"},       // jne near
    {15, "33 C0"},         // xor eax, eax
    {8,  "33 F6"},         // xor esi, esi
    {6,  "0F B6 C0"},      // movzx eax, al
    {8,  "C7 44 24 s i"},  // mov dword [esp+s], imm32
    {6,  "C7 05 d i"},     // mov dword [addr], imm32
    {6,  "C7 46 s i"},     // mov dword [esi+s], imm32
    {6,  "8A 46 s"},       // mov al, [esi+s]
    {6,  "88 46 s"},       // mov [esi+s], al
    {10, "C3"},            // ret
    {6,  "C2 b 00"},       // ret n
    {6,  "55 8B EC"},      // push ebp; mov ebp, esp
    {6,  "8B E5 5D C3"},   // mov esp, ebp; pop ebp; ret
    {6,  "CC CC CC CC"},   // padding between functions
    {8,  "D9 44 24 s"},    // fld [esp+s]
    {6,  "D9 05 d"},       // fld [addr]
    {6,  "D9 5C 24 s"},    // fstp [esp+s]
    {5,  "D8 4C 24 s"},    // fmul [esp+s]
    {5,  "D8 0D d"},       // fmul [addr]
    {4,  "D8 35 d"},       // fdiv [addr]
    {4,  "DE C9"},         // fmulp
    {4,  "DD D8"},         // fstp st0
    {6,  "F3 0F 10 44 24 s"}, // movss xmm0, [esp+s]
    {4,  "F3 0F 10 05 d"},    // movss xmm0, [addr]
    {4,  "F3 0F 11 44 24 s"}, // movss [esp+s], xmm0
    {4,  "F3 0F 59 05 d"},    // mulss xmm0, [addr]
    {3,  "F3 0F 58 C1"},      // addss xmm0, xmm1
    {3,  "F3 0F 2A C0"},      // cvtsi2ss xmm0, eax
    {3,  "F3 A5"},            // rep movsd
    {3,  "F3 0F 5E 05 d"},        // divss xmm0, [addr]
    {3,  "F3 0F 2C C0"},          // cvttss2si eax, xmm0
    {3,  "0F 28 C1"},             // movaps xmm0, xmm1
    {3,  "0F 57 C0"},             // xorps xmm0, xmm0
    {3,  "0F 2F C1"},             // comiss xmm0, xmm1
    {4,  "D9 EE"},                // fldz
    {3,  "D9 E8"},                // fld1
    {4,  "DF E0"},                // fnstsw ax
    {4,  "F6 C4 b"},              // test ah, imm8
    {3,  "DD 05 d"},              // fld qword [addr]
    {3,  "DC 0D d"},              // fmul qword [addr]
    {8,  "B9 d"},                 // mov ecx, offset
    {6,  "B8 i"},                 // mov eax, imm32
    {4,  "BA i"},                 // mov edx, imm32
    {4,  "BE d"},                 // mov esi, offset
    {4,  "BF d"},                 // mov edi, offset
    {6,  "8B 15 d"},              // mov edx, [addr]
    {5,  "8B 35 d"},              // mov esi, [addr]
    {4,  "8B 3D d"},              // mov edi, [addr]
    {5,  "89 0D d"},              // mov [addr], ecx
    {6,  "8B 04 24"},             // mov eax, [esp]
    {4,  "89 04 24"},             // mov [esp], eax
    {5,  "03 C1"},                // add eax, ecx
    {5,  "2B C1"},                // sub eax, ecx
    {3,  "0B C1"},                // or eax, ecx
    {3,  "23 C1"},                // and eax, ecx
    {3,  "25 i"},                 // and eax, imm32
    {2,  "0D i"},                 // or eax, imm32
    {4,  "C1 E0 b"},              // shl eax, imm8
    {3,  "D1 E8"},                // shr eax, 1
    {3,  "F7 D8"},                // neg eax
    {3,  "99"},                   // cdq
    {2,  "F7 F9"},                // idiv ecx
    {3,  "8D 04 80"},             // lea eax, [eax+eax*4]
    {3,  "0F AF C1"},             // imul eax, ecx
    {4,  "40"}, {4, "41"}, {3, "46"}, {3, "47"}, {3, "48"}, {2, "49"},
    {3,  "64 A1 00 00 00 00"},    // mov eax, fs:[0]
    {3,  "64 89 25 00 00 00 00"}, // mov fs:[0], esp
};
// clang-format on

// An instruction starting with each lead byte, for the windows that lack one.
inline constexpr const char* leadInstructions[] = {
    "68 i",             // push imm32
    "A1 d",             // mov eax, [addr]
    "D9 44 24 s",       // fld [esp+s]
    "F3 0F 10 44 24 s", // movss xmm0, [esp+s]
    "64 A1 00 00 00 00" // mov eax, fs:[0]
};

class Writer {
public:
    Writer(std::size_t size, uint32_t seed) : random_(seed) { out_.reserve(size + 16); }

    void emit(const char* text) {
        for (const char* c = text; *c;) {
            if (*c == ' ') {
                ++c;
                continue;
            }
            if (c[1] == ' ' || c[1] == 0) {
                operand(*c);
                ++c;
            } else {
                out_.push_back(uint8_t(std::stoul(std::string(c, 2), nullptr, 16)));
                c += 2;
            }
        }
    }
    uint32_t below(uint32_t n) { return uint32_t(random_() % n); }
    std::vector<uint8_t>& bytes() { return out_; }

private:
    void u32(uint32_t value) {
        for (int i = 0; i < 4; ++i) out_.push_back(uint8_t(value >> (8 * i)));
    }
    void operand(char kind) {
        static constexpr uint32_t floats[] = {0x3F800000, 0x3F000000, 0x40000000, 0x44800000,
                                              0x44400000, 0x3A800000, 0x42B40000, 0xBF800000};
        switch (kind) {
        case 's':
            out_.push_back(uint8_t(4 * below(32)));
            break;
        case 'j':
            out_.push_back(uint8_t(below(2) ? below(0x40) : 0x100 - 1 - below(0x40)));
            break;
        case 'b':
            out_.push_back(uint8_t(below(4) ? below(0x20) : below(0x100)));
            break;
        case 'd':
            u32(0x00401000 + 4 * below(0x00600000));
            break;
        case 'r':
            u32(below(2) ? below(0x00100000) : uint32_t(0) - 1 - below(0x00100000));
            break;
        case 'i': {
            const uint32_t pick = below(4);
            u32(pick == 0   ? below(0x100)
                : pick == 1 ? floats[below(8)]
                : pick == 2 ? 1u << below(32)
                            : uint32_t(random_()));
            break;
        }
        }
    }
    std::mt19937 random_;
    std::vector<uint8_t> out_;
};

} // namespace detail

// `size` bytes of code-like filler, the same for the same seed.
inline std::vector<uint8_t> codeFiller(std::size_t size, uint32_t seed = 1) {
    using namespace detail;
    unsigned total = 0;
    for (const Template& t : instructions) total += t.weight;

    Writer w(size, seed);
    std::vector<uint8_t>& out = w.bytes();
    constexpr std::size_t leads = sizeof signatureLeads;
    std::size_t last[leads] = {}; // position of the latest occurrence of each lead byte
    auto emit = [&](const char* text) {
        const std::size_t start = out.size();
        w.emit(text);
        for (std::size_t i = start; i < out.size(); ++i)
            for (std::size_t k = 0; k < leads; ++k)
                if (out[i] == signatureLeads[k]) last[k] = i;
    };
    // A lead byte absent for 60 bytes is emitted next. An ordinary instruction
    // has at most 10 bytes and the lead instructions at most 6, so a lead byte
    // is never more than 60 + 10 + 4 * 6 bytes away from the previous one.
    constexpr std::size_t overdue = 60;
    while (out.size() < size) {
        for (std::size_t k = 0; k < leads; ++k)
            if (out.size() - last[k] >= overdue) emit(leadInstructions[k]);
        unsigned pick = w.below(total);
        const Template* t = instructions;
        while (pick >= t->weight) pick -= (t++)->weight;
        emit(t->text);
    }
    out.resize(size);
    return std::move(out);
}

// True when every window of `leadWindow` bytes holds every lead byte.
inline bool fillerWindowHolds(const std::vector<uint8_t>& bytes) {
    for (uint8_t lead : signatureLeads) {
        std::size_t previous = 0; // one past the latest occurrence
        for (std::size_t i = 0; i < bytes.size(); ++i) {
            if (bytes[i] == lead)
                previous = i + 1;
            else if (i + 1 - previous >= leadWindow)
                return false;
        }
    }
    return true;
}

} // namespace lkm::filler
