#include "engine_image.hpp"

#include "lkm/byte_runs.hpp"
#include "lkm/bytes.hpp"
#include "lkm/diff.hpp"
#include "lkm/inspect.hpp"
#include "lkm/plan_writes.hpp"

#include <algorithm>
#include <cstring>
#include <stdexcept>

namespace lkm::test {

float floatFromBits(uint32_t bits) {
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

uint32_t bitsOfFloat(float value) {
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

namespace {

// A run of machine code composed at a known image offset, so that rel32
// operands can be computed while it is written.
class Code {
public:
    Code(uint32_t offset, uint32_t base) : offset_(offset), base_(base) {}

    Code& op(std::initializer_list<uint8_t> values) {
        bytes_.insert(bytes_.end(), values);
        return *this;
    }
    // "AB CD": pairs of hexadecimal digits separated by blanks (no wildcards).
    Code& hex(const char* text) {
        auto digit = [](char c) { return c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10; };
        for (const char* c = text; *c;) {
            if (*c == ' ') {
                ++c;
                continue;
            }
            bytes_.push_back(uint8_t(digit(c[0]) << 4 | digit(c[1])));
            c += 2;
        }
        return *this;
    }
    Code& u32(uint32_t value) {
        for (int i = 0; i < 4; ++i) bytes_.push_back(uint8_t(value >> (8 * i)));
        return *this;
    }
    Code& f32(float value) { return u32(bitsOfFloat(value)); }
    // E8/E9 rel32 to a game address.
    Code& branch(uint8_t opcode, uint32_t target) {
        const uint32_t next = base_ + here() + 5;
        bytes_.push_back(opcode);
        return u32(target - next);
    }
    Code& append(const std::vector<uint8_t>& values) {
        bytes_.insert(bytes_.end(), values.begin(), values.end());
        return *this;
    }
    Code& fill(uint32_t count, uint8_t value) {
        bytes_.insert(bytes_.end(), count, value);
        return *this;
    }
    Code& padTo(uint32_t length, uint8_t value = 0xCC) {
        if (bytes_.size() > length) throw std::logic_error("engine image: code piece too long");
        return fill(length - uint32_t(bytes_.size()), value);
    }
    Code& align(uint32_t alignment, uint8_t value = 0xCC) {
        while (here() % alignment) bytes_.push_back(value);
        return *this;
    }
    uint32_t here() const { return offset_ + uint32_t(bytes_.size()); }
    uint32_t start() const { return offset_; }
    const std::vector<uint8_t>& bytes() const { return bytes_; }

private:
    uint32_t offset_, base_;
    std::vector<uint8_t> bytes_;
};

struct Random {
    uint32_t state;
    uint32_t next() {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return state;
    }
    uint32_t below(uint32_t n) { return n ? next() % n : 0; }
};

// One filler function of typical compiled shape.
void fillerFunction(Code& c, Random& r, const FillerRange& range, uint32_t base) {
    auto dataAddress = [&] {
        return base + range.dataBegin + 4 * r.below((range.dataEnd - range.dataBegin) / 4);
    };
    auto codeAddress = [&] {
        return base + range.codeBegin + 16 * r.below((range.codeEnd - range.codeBegin) / 16);
    };
    auto disp = [&] { return uint8_t(0x100 - 4 * (1 + r.below(16))); }; // [ebp-4] .. [ebp-40h]
    static const uint8_t sehFrames[] = {0x0C, 0x10, 0x14, 0x18, 0x1C, 0x24, 0x28, 0x30, 0x40, 0x48};

    const bool seh = r.below(6) == 0;
    if (seh) {
        // mov eax, fs:[0]; push -1; push handler; push eax; mov fs:[0], esp; sub esp, n
        c.hex("64 A1 00 00 00 00 6A FF 68").u32(codeAddress()).hex("50 64 89 25 00 00 00 00 83 EC");
        c.op({sehFrames[r.below(sizeof sehFrames)]});
    } else {
        c.hex("55 8B EC");                                                  // push ebp; mov ebp, esp
        if (r.below(3)) c.op({0x83, 0xEC, uint8_t(4 * (1 + r.below(31)))}); // sub esp, n
    }
    if (r.below(2)) c.op({0x56}); // push esi
    if (r.below(2)) c.op({0x57}); // push edi

    const uint32_t count = 4 + r.below(24);
    for (uint32_t i = 0; i < count; ++i) {
        switch (r.below(26)) {
        case 0:
            c.op({0x8B, 0x45, disp()});
            break; // mov eax, [ebp-n]
        case 1:
            c.op({0x8B, 0x4D, disp()});
            break; // mov ecx, [ebp-n]
        case 2:
            c.op({0x89, 0x45, disp()});
            break; // mov [ebp-n], eax
        case 3:
            c.op({0x8B, 0x0D}).u32(dataAddress());
            break; // mov ecx, [addr]
        case 4:
            c.op({0xA1}).u32(dataAddress());
            break; // mov eax, [addr]
        case 5:
            c.op({0xA3}).u32(dataAddress());
            break; // mov [addr], eax
        case 6:
            c.op({0x68}).u32(r.below(2) ? r.below(0x1000) : codeAddress());
            break; // push imm32
        case 7:
            c.op({0x6A, uint8_t(r.below(0x80))});
            break; // push imm8
        case 8:
            c.op({uint8_t(0x50 + r.below(8))});
            break; // push reg
        case 9:
            c.branch(0xE8, codeAddress());
            break; // call
        case 10:
            c.op({0x85, 0xC0, 0x74, uint8_t(2 + r.below(0x30))});
            break; // test eax, eax; jz short
        case 11:
            c.op({0x33, 0xC0});
            break; // xor eax, eax
        case 12:
            c.op({0x8D, 0x4D, disp()});
            break; // lea ecx, [ebp-n]
        case 13:
            c.op({0xD9, 0x45, disp()});
            break; // fld [ebp-n]
        case 14:
            c.op({0xD8, 0x4D, disp()});
            break; // fmul [ebp-n]
        case 15:
            c.op({0xD9, 0x5D, disp()});
            break; // fstp [ebp-n]
        case 16:
            c.op({0xF3, 0x0F, 0x10, 0x45, disp()});
            break; // movss xmm0, [ebp-n]
        case 17:
            c.op({0xF3, 0x0F, 0x59, 0x45, disp()});
            break; // mulss xmm0, [ebp-n]
        case 18:
            c.op({0xF3, 0x0F, 0x11, 0x45, disp()});
            break; // movss [ebp-n], xmm0
        case 19:
            c.op({0x83, 0xC4, uint8_t(4 * (1 + r.below(8)))});
            break; // add esp, n
        case 20:
            c.op({0xC7, 0x45, disp()}).u32(r.below(0x10000));
            break; // mov dword [ebp-n], imm32
        case 21:
            c.op({0x8B, 0xCE});
            break; // mov ecx, esi
        case 22:
            c.op({0xFF, 0x15}).u32(dataAddress());
            break; // call [addr]
        case 23:
            c.op({0xD9, 0x05}).u32(dataAddress());
            break; // fld [addr]
        case 24:
            c.op({0x3B, 0xC1, 0x7D, uint8_t(2 + r.below(0x30))});
            break; // cmp eax, ecx; jge short
        default:
            c.op({0x0F, 0x84}).u32(r.below(0x200));
            break; // jz near
        }
    }
    if (seh) {
        // mov ecx, [esp+n]; mov fs:[0], ecx; add esp, n; ret
        c.hex("8B 4C 24 10 64 89 0D 00 00 00 00 83 C4 1C C3");
    } else {
        c.hex("5F 5E 8B E5 5D"); // pop edi; pop esi; mov esp, ebp; pop ebp
        if (r.below(2))
            c.op({0xC3}); // ret
        else
            c.op({0xC2, uint8_t(4 * (1 + r.below(4))), 0x00}); // ret n
    }
    c.align(16);
}

struct Piece {
    uint32_t offset;
    std::vector<uint8_t> bytes;
};

// Lays the engine out; one function per cluster keeps the offsets readable.
class Layouter {
public:
    Layouter(const EngineConfig& config, EnginePlaces& places) : cfg_(config), p_(places) {}

    std::vector<Piece> pieces;

    void add(const Code& code) { pieces.push_back({code.start(), code.bytes()}); }
    uint32_t address(uint32_t offset) const { return cfg_.base + offset; }
    Code at(uint32_t offset) const { return Code(offset, cfg_.base); }

    void camera();
    void cvars();
    void gui();
    void thunks();

private:
    void setter(uint32_t offset, uint32_t frame, bool boolean);
    uint32_t intSite(Code& c, uint32_t name, uint32_t fallback, uint32_t object, uint32_t constructor);
    uint32_t boolSite(Code& c, uint32_t name, uint8_t fallback, uint32_t object, uint32_t constructor);

    const EngineConfig& cfg_;
    EnginePlaces& p_;
};

// Camera cluster: the projection call site, a look-alike that calls another
// import, another user of the stock 1/768, a helper, and the spare run.
void Layouter::camera() {
    const uint32_t k = p_.code + cfg_.cameraCluster;
    const uint32_t helper = k + 0x280;
    auto site = [&](uint32_t offset, float aspect, uint32_t thunk) {
        Code c = at(offset);
        c.hex("83 EC 24 56 8B F1"); // sub esp, 24h; push esi; mov esi, ecx
        const uint32_t m = c.here();
        c.op({0xA1}).u32(address(p_.fovObject) + 20);     // mov eax, [r_fov value]
        c.op({0x68}).f32(aspect);                         // push aspect
        c.hex("8D 4C 24 10 51");                          // lea ecx, [esp+10h]; push ecx
        c.op({0x8B, 0x0D}).u32(address(p_.data + 0x700)); // mov ecx, [renderer]
        c.hex("8D 54 24 18 52 50");                       // lea edx, [esp+18h]; push edx; push eax
        c.branch(0xE8, address(thunk));                   // call thunk
        c.hex("8B 4C 24 1C 8B 54 24 20 51 52"); // mov ecx, [esp+1Ch]; mov edx, [esp+20h]; push ecx; push edx
        c.branch(0xE8, address(helper));        // call
        c.hex("8B 44 24 0C 89 46 14 5E 83 C4 24 C3"); // mov eax, [esp+0Ch]; mov [esi+14h], eax; pop esi; add
                                                      // esp, 24h; ret
        add(c);
        return m;
    };
    p_.cameraSite = site(k, cfg_.aspect, p_.perspectiveThunk);
    p_.aspectOperand = p_.cameraSite + 6;
    p_.decoyCameraSite = site(k + 0x100, 1.0f, p_.otherThunk);

    Code shared = at(k + 0x200); // fld [esp+4]; fmul [1/768]; ret
    shared.hex("D9 44 24 04 D8 0D").u32(address(p_.verticalReciprocal)).op({0xC3});
    p_.sharedReference = k + 0x206;
    add(shared);

    add(at(helper).hex("33 C0 C2 08 00")); // xor eax, eax; ret 8

    p_.spareCode = k + 0x400;
    add(at(p_.spareCode).fill(0x1000, 0xCC));
}

// push imm32; push 2; push default; push name; mov ecx, object; call constructor
uint32_t Layouter::intSite(Code& c, uint32_t name, uint32_t fallback, uint32_t object, uint32_t constructor) {
    const uint32_t m = c.here();
    c.op({0x68}).u32(0).hex("6A 02").op({0x68}).u32(fallback).op({0x68}).u32(name);
    c.op({0xB9}).u32(object).branch(0xE8, address(constructor));
    // push destructor; call atexit; add esp, 4
    c.op({0x68}).u32(address(p_.code + cfg_.cvarCluster + 0x210));
    c.branch(0xE8, address(p_.code + cfg_.cvarCluster + 0x200)).hex("83 C4 04");
    return m;
}

// push imm32; push 2; push default (imm8); push name; mov ecx, object; call constructor
uint32_t Layouter::boolSite(Code& c, uint32_t name, uint8_t fallback, uint32_t object, uint32_t constructor) {
    const uint32_t m = c.here();
    c.op({0x68}).u32(0).hex("6A 02").op({0x6A, fallback}).op({0x68}).u32(name);
    c.op({0xB9}).u32(object).branch(0xE8, address(constructor));
    c.op({0x68}).u32(address(p_.code + cfg_.cvarCluster + 0x210));
    c.branch(0xE8, address(p_.code + cfg_.cvarCluster + 0x200)).hex("83 C4 04");
    return m;
}

// A CVar setter: exception prologue, frame, body; the boolean one reads its
// argument byte at +53.
void Layouter::setter(uint32_t offset, uint32_t frame, bool boolean) {
    const uint32_t handler = p_.code + cfg_.cvarCluster + 0x300;
    Code c = at(offset);
    // mov eax, fs:[0]; push -1; push handler; push eax; mov fs:[0], esp
    c.hex("64 A1 00 00 00 00 6A FF 68").u32(address(handler)).hex("50 64 89 25 00 00 00 00");
    if (frame < 0x80)
        c.op({0x83, 0xEC, uint8_t(frame)}); // sub esp, imm8
    else
        c.op({0x81, 0xEC}).u32(frame); // sub esp, imm32
    c.hex("56 8B F1 F6 46 06 01");     // push esi; mov esi, ecx; test byte ptr [esi+6], 1
    if (boolean) {
        // jnz; mov eax, [esi+8]; test eax, eax; jz; mov ecx, [esi+0Ch]; xor ebx, ebx
        c.hex("0F 85 10 00 00 00 8B 46 08 85 C0 0F 84 05 00 00 00 8B 4E 0C 33 DB");
        c.hex("53 8A 5C 24 78 88 5E 1C 5B"); // push ebx; mov bl, [esp+78h]; mov [esi+1Ch], bl; pop ebx
    } else {
        // jnz; mov eax, [esp+n]; mov [esi+18h], eax; mov ecx, [esi+0Ch]; test ecx, ecx; jz; mov [esi+14h],
        // eax
        c.hex("0F 85 10 00 00 00 8B 44 24 6C 89 46 18 8B 4E 0C 85 C9 74 03 89 46 14");
    }
    // mov al, 1; pop esi; mov ecx, [esp+frame]; mov fs:[0], ecx; add esp, frame+0Ch; ret 4
    c.hex("B0 01 5E 8B 8C 24").u32(frame).hex("64 89 0D 00 00 00 00 81 C4").u32(frame + 12).hex("C2 04 00");
    c.align(16);
    add(c);
}

// CVar cluster: the static initializer with the construction sites, the two
// CVar constructors, the setter family and the prologues around it.
void Layouter::cvars() {
    const uint32_t k = p_.code + cfg_.cvarCluster;
    const uint32_t integerConstructor = k + 0x400, booleanConstructor = k + 0x500;
    p_.integerConstructor = integerConstructor;
    p_.booleanConstructor = booleanConstructor;
    const uint32_t otherXres = p_.data + 0x2C0, gamma = p_.data + 0x330, vsync = p_.data + 0x3A0;
    const uint32_t rd = p_.rdata;

    Code init = at(k);
    init.hex("56 57"); // push esi; push edi
    p_.gammaSite = intSite(init, address(rd + 0x100), 100, address(gamma), integerConstructor);
    p_.xresSite =
        intSite(init, address(p_.xresName), cfg_.xresDefault, address(p_.xresObject), integerConstructor);
    p_.yresSite =
        intSite(init, address(p_.yresName), cfg_.yresDefault, address(p_.yresObject), integerConstructor);
    p_.fovSite =
        intSite(init, address(p_.fovName), cfg_.focalDefault, address(p_.fovObject), integerConstructor);
    p_.fullscreenSite = boolSite(init, address(p_.fullscreenName), cfg_.fullscreenDefault,
                                 address(p_.fullscreenObject), booleanConstructor);
    p_.vsyncSite = boolSite(init, address(rd + 0x150), 0, address(vsync), booleanConstructor);
    p_.otherXresSite = intSite(init, address(p_.xresName), 640, address(otherXres), integerConstructor);
    p_.longerNameSite = intSite(init, address(rd + 0x160), 1024, address(p_.xresObject), integerConstructor);
    p_.outsideNameSite = intSite(init, 0x7FFE0000, 1024, address(p_.xresObject), integerConstructor);
    init.hex("5F 5E C3"); // pop edi; pop esi; ret
    add(init);

    add(at(k + 0x200).hex("B8 01 00 00 00 C3")); // atexit stand-in: mov eax, 1; ret
    add(at(k + 0x210).op({0xC3}));               // destructor: ret
    add(at(k + 0x300).hex("33 C0 C3"));          // exception handler: xor eax, eax; ret

    if (cfg_.integerSetter >= cfg_.setters.size() || cfg_.booleanSetter >= cfg_.setters.size())
        throw std::logic_error("engine image: setter index out of range");
    const uint32_t integerSetter = k + cfg_.setters[cfg_.integerSetter].distance;
    const uint32_t booleanSetter = k + cfg_.setters[cfg_.booleanSetter].distance;
    p_.integerSetter = integerSetter;
    p_.booleanSetter = booleanSetter;

    Code ic = at(integerConstructor);
    ic.hex("56 8B F1 8B 44 24 08 89 46 04 8B 44 24 0C 89 46 18"); // name and default into the object
    ic.hex("C7 46 10 E8 03 00 00");                               // mov dword ptr [esi+10h], 3E8h
    ic.hex("8B 44 24 10 89 46 08");                               // mov eax, [esp+10h]; mov [esi+8], eax
    ic.branch(0xE8, address(k + 0x200));                          // call register
    ic.hex("FF 74 24 0C 8B CE");                                  // push dword ptr [esp+0Ch]; mov ecx, esi
    p_.integerSetterCall = ic.here();
    ic.branch(0xE8, address(integerSetter)); // call integer setter
    ic.hex("8B C6 5E C2 10 00");             // mov eax, esi; pop esi; ret 10h
    add(ic.padTo(0x100));

    Code bc = at(booleanConstructor);
    bc.hex("56 8B F1 8B 44 24 08 89 46 04"); // push esi; mov esi, ecx; name into the object
    bc.hex("8A 44 24 0C 88 46 1C");          // mov al, [esp+0Ch]; mov [esi+1Ch], al
    bc.branch(0xE8, address(k + 0x200));     // call register
    bc.hex("0F B6 44 24 0C 50 8B CE");       // movzx eax, byte ptr [esp+0Ch]; push eax; mov ecx, esi
    p_.booleanSetterCall = bc.here();
    bc.branch(0xE8, address(booleanSetter)); // call boolean setter
    bc.hex("8B C6 5E C2 10 00");             // mov eax, esi; pop esi; ret 10h
    add(bc.padTo(0x100));

    p_.otherFramePrologue = k + cfg_.otherFramePrologue;
    setter(p_.otherFramePrologue, 0x40, false);
    for (std::size_t i = 0; i < cfg_.setters.size(); ++i) {
        const SetterSpec& s = cfg_.setters[i];
        setter(k + s.distance, s.frame, i == cfg_.booleanSetter);
        if (s.frame == 0x20 || s.frame == 0x60 || s.frame == 0xA0) p_.setters.push_back(k + s.distance);
    }
    std::sort(p_.setters.begin(), p_.setters.end());
    p_.distantPrologue = uint32_t(int64_t(integerSetter) + cfg_.distantPrologue);
    setter(p_.distantPrologue, 0x20, false);
}

// GUI cluster: root GUI constructor, initializer stub, the four conversions
// with their spaces, a distant forward conversion, the other references to the
// vertical reciprocal, the mouse mapping, a spare run, the initializer body.
void Layouter::gui() {
    const uint32_t k = p_.code + cfg_.guiCluster;
    const uint32_t xresValue = address(p_.xresObject) + 20, yresValue = address(p_.yresObject) + 20;
    p_.horizontalForward = k + 0x400;
    p_.verticalForward = p_.horizontalForward + cfg_.verticalForwardGap;
    p_.horizontalInverse = p_.verticalForward + cfg_.horizontalInverseGap;
    p_.verticalInverse = p_.horizontalInverse + cfg_.verticalInverseGap;
    p_.distantForward = std::max(p_.horizontalForward + 128, p_.verticalInverse + 32);
    p_.horizontalSpace = p_.horizontalForward + 17;
    p_.verticalSpace = p_.verticalForward + 17;
    p_.reciprocalSpace = p_.horizontalInverse + 17;
    p_.initializerStub = k + 0x100;
    p_.initializerBody = uint32_t(int64_t(p_.verticalInverse) + cfg_.bodyDistance);

    Code root = at(k);
    root.hex("53 55 8B E9 57 8D 7D 30 33 DB"); // push ebx; push ebp; mov ebp, ecx; push edi; lea edi,
                                               // [ebp+30h]; xor ebx, ebx
    p_.rootConstructorSite = root.here();
    p_.rootHeight = p_.rootConstructorSite + 1;
    p_.rootWidth = p_.rootConstructorSite + 6;
    p_.rootInitializerCall = p_.rootConstructorSite + 23;
    root.op({0x68}).f32(cfg_.rootHeight).op({0x68}).f32(cfg_.rootWidth); // push height; push width
    root.hex("53 53 8B CF").branch(0xE8, address(k + 0xC0)); // push ebx; push ebx; mov ecx, edi; call
    root.hex("53 53 8B CD")
        .branch(0xE8, address(p_.initializerStub));        // push ebx; push ebx; mov ecx, ebp; call stub
    root.hex("68 00 00 40 44 68 00 00 80 44 53 53 8B CD"); // push 768.0; push 1024.0; ...
    root.branch(0xE8, address(k + 0xD0));                  // call
    root.hex("5F 5D 5B C3");                               // pop edi; pop ebp; pop ebx; ret
    add(root);
    add(at(k + 0xC0).hex("C2 10 00")); // ret 10h
    add(at(k + 0xD0).hex("C2 10 00"));

    Code stub = at(p_.initializerStub); // add ecx, 30h; jmp body
    stub.hex("83 C1 30").branch(0xE9, address(p_.initializerBody));
    add(stub);

    auto forward = [&](uint32_t offset, uint32_t value, uint32_t multiplier) {
        Code c = at(offset); // fld [value]; fmul [esp+4]; fmul [multiplier]; ret
        c.hex("D9 05").u32(value).hex("D8 4C 24 04 D8 0D").u32(multiplier).op({0xC3}).fill(15, 0xCC);
        add(c);
    };
    auto inverse = [&](uint32_t offset, uint32_t value, uint32_t multiplier) {
        Code c = at(offset); // fld [esp+4]; fdiv [value]; fmul [multiplier]; ret
        c.hex("D9 44 24 04 D8 35").u32(value).hex("D8 0D").u32(multiplier).op({0xC3}).fill(15, 0xCC);
        add(c);
    };
    forward(p_.horizontalForward, xresValue, address(p_.horizontalReciprocal));
    forward(p_.verticalForward, yresValue, address(p_.verticalReciprocal));
    inverse(p_.horizontalInverse, xresValue, address(p_.horizontalScale));
    inverse(p_.verticalInverse, yresValue, address(p_.verticalScale));
    forward(p_.distantForward, address(p_.data + 0x410) + 20, address(p_.rdata + 0x060));

    p_.verticalReferences = {p_.verticalForward + 12};
    for (const ReferenceSpec& r : cfg_.references) {
        const uint32_t operand = p_.horizontalForward + r.distance;
        Code c = at(0);
        switch (r.form) {
        case ReferenceForm::fmul: // fld [esp+4]; fmul [1/768]; ret
            c = at(operand - 6);
            c.hex("D9 44 24 04 D8 0D").u32(address(p_.verticalReciprocal)).op({0xC3});
            break;
        case ReferenceForm::movss: // movss xmm0, [1/768]; mulss xmm0, [esp+4]; movss [esp+4], xmm0; fld
                                   // [esp+4]; ret
            c = at(operand - 4);
            c.hex("F3 0F 10 05").u32(address(p_.verticalReciprocal));
            c.hex("F3 0F 59 44 24 04 F3 0F 11 44 24 04 D9 44 24 04 C3");
            break;
        case ReferenceForm::mulss: // movss xmm1, [esp+4]; mulss xmm1, [1/768]; movss [esp+4], xmm1; fld
                                   // [esp+4]; ret
            c = at(operand - 10);
            c.hex("F3 0F 10 4C 24 04 F3 0F 59 0D").u32(address(p_.verticalReciprocal));
            c.hex("F3 0F 11 4C 24 04 D9 44 24 04 C3");
            break;
        }
        add(c);
        if (operand + 4 < p_.initializerBody) p_.verticalReferences.push_back(operand);
    }
    std::sort(p_.verticalReferences.begin(), p_.verticalReferences.end());

    Code mouse = at(p_.horizontalForward + 0x1000 - 10);
    mouse.hex("83 EC 08 89 04 24 89 54 24 04"); // sub esp, 8; mov [esp], eax; mov [esp+4], edx
    p_.mouseMapping = mouse.here();
    mouse.hex("F3 0F 2A 04 24 F3 0F 59 05").u32(address(p_.mouseHorizontalScale));
    mouse.hex("F3 0F 5E 05").u32(xresValue);
    mouse.hex("8B 4C 24 0C 8B 54 24 10 F3 0F 11 01 F3 0F 2A 44 24 04 F3 0F 59 05")
        .u32(address(p_.mouseVerticalScale));
    mouse.hex("F3 0F 5E 05").u32(yresValue);
    mouse.hex("F3 0F 11 02 83 C4 08 C2 08 00");
    add(mouse);

    p_.spareGui = p_.horizontalForward + 0x1800;
    add(at(p_.spareGui).fill(0x100, 0xCC));

    Code body = at(p_.initializerBody);
    // push ebp; mov ebp, esp; sub esp, 10h; push esi; mov esi, ecx; fld [ebp+8]; fstp [esi+4];
    // fld [ebp+0Ch]; fstp [esi+8]; pop esi; mov esp, ebp; pop ebp; ret 8
    body.hex("55 8B EC 83 EC 10 56 8B F1 D9 45 08 D9 5E 04 D9 45 0C D9 5E 08 5E 8B E5 5D C2 08 00");
    add(body);
}

// Import thunks at the end of .text: jmp dword ptr [slot]
void Layouter::thunks() {
    Code c = at(p_.perspectiveThunk);
    c.op({0xFF, 0x25}).u32(p_.perspectiveSlot).hex("8B C0");
    c.op({0xFF, 0x25}).u32(p_.otherSlot).hex("8B C0");
    add(c);
}

const char* const viewportImport = "?SetViewport@VisRenderer_cl@@QAEXHHHH@Z";

} // namespace

void fillCode(PeBuilder& pe, uint32_t begin, uint32_t end, uint32_t seed, const FillerRange& range) {
    if (end <= begin) return;
    Random r{(seed ^ (begin * 0x9E3779B9u)) | 1u};
    Code c(begin, pe.base());
    const uint32_t total = end - begin;
    while (true) {
        Code f(c.here(), pe.base());
        fillerFunction(f, r, range, pe.base());
        if (uint64_t(c.bytes().size()) + f.bytes().size() > total) break;
        c.append(f.bytes());
    }
    c.fill(total - uint32_t(c.bytes().size()), 0xCC);
    pe.bytes(begin, c.bytes());
}

EngineConfig largeEngineConfig(uint32_t codeSize) {
    EngineConfig config;
    config.codeSize = codeSize;
    const uint32_t eighth = (codeSize / 8) & ~0xFFFu;
    config.cameraCluster = eighth;
    config.cvarCluster = 3 * eighth;
    config.guiCluster = 5 * eighth;
    return config;
}

namespace {

// Lays the engine out; the gaps between the shapes are `code` when given, else filler.
EngineImage layEngine(const EngineConfig& config, const std::vector<uint8_t>* code) {
    if (config.codeSize % 0x1000 || config.codeSize < 0x20000)
        throw std::logic_error("engine image: code size must be a multiple of 4 KiB, at least 128 KiB");
    EnginePlaces p;
    p.code = 0x1000;
    p.codeEnd = p.code + config.codeSize;
    p.rdata = p.codeEnd;
    p.data = p.rdata + 0x1000;
    p.dataEnd = p.data + 0x1000;
    p.idata = p.dataEnd;
    p.size = p.idata + 0x1000;

    PeBuilder pe(p.size, config.base);
    pe.section(".text", p.code, config.codeSize, codeSection)
        .section(".rdata", p.rdata, 0x1000, rdataSection)
        .section(".data", p.data, 0x1000, dataSection, 0x400)
        .section(".idata", p.idata, 0x1000, dataSection);
    std::vector<ImportSpec> dlls = {{"LarkRender.dll", {config.perspectiveImport, viewportImport, "#12"}},
                                    {"KERNEL32.dll", {"Sleep", "GetTickCount"}}};
    dlls.insert(dlls.end(), config.moreImports.begin(), config.moreImports.end());
    pe.imports(p.idata, dlls);
    p.perspectiveSlot = pe.slot("LarkRender.dll", config.perspectiveImport);
    p.otherSlot = pe.slot("LarkRender.dll", viewportImport);
    p.perspectiveThunk = p.codeEnd - 0x100;
    p.otherThunk = p.perspectiveThunk + 8;

    // .rdata: a few common constants around the GUI ones, then the CVar names.
    const uint32_t rd = p.rdata;
    pe.f32(rd + 0x00, 0.5f).f32(rd + 0x04, 1.0f).f32(rd + 0x08, 2.0f).f32(rd + 0x0C, 100.0f);
    pe.f32(rd + 0x10, 0.001f).f32(rd + 0x14, 255.0f).f32(rd + 0x70, 640.0f);
    p.horizontalReciprocal = rd + 0x20;
    p.verticalReciprocal = rd + 0x30;
    p.horizontalScale = rd + 0x40;
    p.verticalScale = rd + 0x48;
    p.mouseHorizontalScale = rd + 0x50;
    p.mouseVerticalScale = rd + 0x54;
    pe.f32(p.horizontalReciprocal, config.horizontalReciprocal)
        .f32(p.verticalReciprocal, config.verticalReciprocal);
    pe.f32(p.horizontalScale, config.horizontalScale).f32(p.verticalScale, config.verticalScale);
    pe.f32(p.mouseHorizontalScale, config.mouseHorizontalScale)
        .f32(p.mouseVerticalScale, config.mouseVerticalScale);
    pe.f32(rd + 0x60, 1.0f / 640.0f);
    p.xresName = rd + 0x110;
    p.yresName = rd + 0x120;
    p.fovName = rd + 0x130;
    p.fullscreenName = rd + 0x140;
    pe.text(rd + 0x100, "r_gamma")
        .text(p.xresName, "r_xres")
        .text(p.yresName, "r_yres")
        .text(p.fovName, "r_fov");
    pe.text(p.fullscreenName, "r_fullscreen").text(rd + 0x150, "r_vsync").text(rd + 0x160, "r_xres2");

    p.xresObject = p.data + config.xresObject;
    p.yresObject = p.data + config.yresObject;
    p.fovObject = p.data + config.fovObject;
    p.fullscreenObject = p.data + config.fullscreenObject;

    Layouter layouter(config, p);
    layouter.camera();
    layouter.cvars();
    layouter.gui();
    layouter.thunks();

    if (code) {
        if (code->size() != config.codeSize)
            throw std::logic_error("engine image: code bytes differ from codeSize");
        pe.bytes(p.code, *code);
    }
    std::vector<Piece>& pieces = layouter.pieces;
    std::sort(pieces.begin(), pieces.end(),
              [](const Piece& a, const Piece& b) { return a.offset < b.offset; });
    const FillerRange range{p.code, p.codeEnd, p.data + 0x800, p.dataEnd};
    uint32_t cursor = p.code;
    for (const Piece& piece : pieces) {
        if (piece.offset < cursor || uint64_t(piece.offset) + piece.bytes.size() > p.codeEnd)
            throw std::logic_error("engine image: overlapping or misplaced code at " +
                                   std::to_string(piece.offset));
        if (!code) fillCode(pe, cursor, piece.offset, config.seed, range);
        pe.bytes(piece.offset, piece.bytes);
        cursor = piece.offset + uint32_t(piece.bytes.size());
    }
    if (!code) fillCode(pe, cursor, p.codeEnd, config.seed, range);

    return EngineImage{config, p, std::move(pe), false, {}, {}};
}

} // namespace

EngineImage makeEngineImage(const EngineConfig& config) {
    return layEngine(config, nullptr);
}

EngineImage makeEngineImage(const EngineConfig& config, const std::vector<uint8_t>& code) {
    return layEngine(config, &code);
}

lkm::Layout EngineImage::expectedLayout() const {
    const EnginePlaces& p = places;
    lkm::Layout l;
    l.aspectOperand = p.aspectOperand;
    l.horizontalForward = p.horizontalForward;
    l.verticalForward = p.verticalForward;
    l.horizontalInverse = p.horizontalInverse;
    l.verticalInverse = p.verticalInverse;
    l.horizontalScale = p.horizontalScale;
    l.verticalScale = p.verticalScale;
    l.horizontalReciprocal = p.horizontalReciprocal;
    l.verticalReciprocal = p.verticalReciprocal;
    l.mouseHorizontalScale = p.mouseHorizontalScale;
    l.mouseVerticalScale = p.mouseVerticalScale;
    l.rootWidth = p.rootWidth;
    l.rootHeight = p.rootHeight;
    l.rootInitializerCall = p.rootInitializerCall;
    l.rootInitializer = address(p.initializerStub);
    l.xresValue = address(p.xresObject) + 20;
    l.yresValue = address(p.yresObject) + 20;
    l.fovCvar = address(p.fovObject);
    l.xresCvar = address(p.xresObject);
    l.yresCvar = address(p.yresObject);
    l.fullscreenCvar = address(p.fullscreenObject);
    l.defaultFocal = int32_t(config.focalDefault);
    l.aspect = earlierPatch ? patch.aspect : config.aspect;
    l.verticalReferences = p.verticalReferences;
    l.setters = p.setters;
    l.setterJumps.assign(p.setters.size(), 0);
    // The image's bytes where normalisation writes and at each setter's entry;
    // what an earlier patch changed there differs from the stock bytes.
    const std::vector<uint8_t> now = bytes();
    const lkm::Image image(now, config.base);
    std::vector<lkm::Run> ranges = lkm::rangesOf(lkm::stockRestoringWrites(l, lkm::wholeImage(image)));
    for (uint32_t setter : p.setters) ranges.push_back({setter, 6});
    l.original = lkm::copiedRanges(image.bytes, lkm::mergedRanges(ranges));
    if (earlierPatch)
        for (const lkm::Run& run : lkm::differingRuns(now, stock))
            l.normalized.push_back({run.offset,
                                    {stock.begin() + std::ptrdiff_t(run.offset),
                                     stock.begin() + std::ptrdiff_t(run.offset + run.length)}});
    return l;
}

void EngineImage::copy(uint32_t from, uint32_t length, uint32_t to) {
    std::vector<uint8_t> run(length);
    for (uint32_t i = 0; i < length; ++i) run[i] = pe.at(from + i);
    pe.bytes(to, run);
}

void EngineImage::routeRootCall(const std::vector<Hop>& hops) {
    for (std::size_t i = 0; i < hops.size(); ++i) {
        const Hop& hop = hops[i];
        const uint32_t next =
            i + 1 < hops.size() ? address(hops[i + 1].offset) : address(places.initializerStub);
        // C7 44 24 disp imm32: mov dword ptr [esp+disp], imm32; then jmp/call rel32
        pe.bytes(hop.offset, {0xC7, 0x44, 0x24, hop.displacement}).f32(hop.offset + 4, 0.0f);
        pe.branch(hop.offset + 8, hop.opcode, next);
    }
    if (!hops.empty()) pe.branch(places.rootInitializerCall, 0xE8, address(hops.front().offset));
}

void EngineImage::reference(uint32_t operand, const std::string& prefixHex, uint32_t target) {
    const std::vector<uint8_t> prefix = hexBytes(prefixHex);
    pe.bytes(operand - uint32_t(prefix.size()), prefix).u32(operand, target);
}

EngineImage EngineImage::earlierPatched(const EarlierPatch& earlier) const {
    EngineImage out = *this;
    out.stock = bytes();
    // The plug-in's own patch writes, with the earlier patch's values worked out in float.
    lkm::PatchValues values;
    values.aspect = earlier.aspect;
    values.virtualWidth = earlier.width;
    values.virtualHeight = earlier.height;
    values.horizontalReciprocal = 1.0f / earlier.width;
    values.verticalReciprocal = 1.0f / earlier.height; // the moved reciprocal, 11 bytes CC after it
    values.horizontalCentring = (earlier.width - 1024.0f) / 2;
    values.verticalCentring = (earlier.height - 768.0f) / 2;
    const lkm::WriteTarget target{config.base, out.stock.size(), out.stock.size()};
    for (const lkm::Write& write : lkm::patchingWrites(expectedLayout(), values, true, target))
        out.pe.bytes(write.offset, write.bytes);
    out.earlierPatch = true;
    out.patch = earlier;
    return out;
}

namespace {

bool sameRuns(const std::vector<lkm::ByteRun>& a, const std::vector<lkm::ByteRun>& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](const lkm::ByteRun& x, const lkm::ByteRun& y) {
                          return x.offset == y.offset && x.bytes == y.bytes;
                      });
}

} // namespace

std::string layoutDifferences(const lkm::Layout& a, const lkm::Layout& b) {
    std::string out;
    auto check = [&](bool same, const char* name) {
        if (same) return;
        if (!out.empty()) out += ", ";
        out += name;
    };
#define LKM_CHECK(member) check(a.member == b.member, #member)
    check(sameRuns(a.original, b.original), "original");
    check(sameRuns(a.normalized, b.normalized), "normalized");
    LKM_CHECK(aspectOperand);
    LKM_CHECK(horizontalForward);
    LKM_CHECK(verticalForward);
    LKM_CHECK(horizontalInverse);
    LKM_CHECK(verticalInverse);
    LKM_CHECK(horizontalScale);
    LKM_CHECK(verticalScale);
    LKM_CHECK(horizontalReciprocal);
    LKM_CHECK(verticalReciprocal);
    LKM_CHECK(mouseHorizontalScale);
    LKM_CHECK(mouseVerticalScale);
    LKM_CHECK(rootWidth);
    LKM_CHECK(rootHeight);
    LKM_CHECK(rootInitializerCall);
    LKM_CHECK(rootInitializer);
    LKM_CHECK(xresValue);
    LKM_CHECK(yresValue);
    LKM_CHECK(fovCvar);
    LKM_CHECK(xresCvar);
    LKM_CHECK(yresCvar);
    LKM_CHECK(fullscreenCvar);
    LKM_CHECK(defaultFocal);
    LKM_CHECK(verticalReferences);
    LKM_CHECK(setters);
    LKM_CHECK(setterJumps);
#undef LKM_CHECK
    check(bitsOfFloat(a.aspect) == bitsOfFloat(b.aspect), "aspect");
    return out;
}

std::vector<uint8_t> normalizedBytes(const lkm::Image& image, const lkm::Layout& layout) {
    return image.bytes.overlaid(layout.normalized).all();
}

std::string inspectFailure(const lkm::Image& image) {
    try {
        lkm::inspect(image);
        return "";
    } catch (const std::exception& e) {
        return e.what();
    }
}

std::vector<uint8_t> engineFile(const EngineImage& engine) {
    return engine.pe.file();
}

} // namespace lkm::test
