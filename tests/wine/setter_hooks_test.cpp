// The setter replacements with the engine's real calling convention: five
// hand-assembled stand-ins for the engine's CVar setters lie in executable
// memory, get their gateways and redirections exactly as in the game, and are
// then called as the game calls them.
#include <cstring>
#include <gtest/gtest.h>
#include <vector>
#include <windows.h>

#include "enforce.hpp"
#include "gateways.hpp"
#include "globals.hpp"
#include "hooks.hpp"
#include "memory_services.hpp"
#include "transaction.hpp"

// Calls `setter` with the object in ECX, `passThrough` in EDX and `value` on the
// stack, as the engine does, and measures the stack: returns AL zero-extended in
// the low half and ESP after the call less ESP before it in the high half (0 when
// the callee removed its argument).
extern "C" uint64_t probeSetter(const void* setter, void* object, void* passThrough, unsigned value);
asm(R"(
    .text
    .globl _probeSetter
_probeSetter:
    pushl %esi
    movl %esp, %esi       # ESP before the argument is pushed
    movl 8(%esp), %eax    # setter
    movl 12(%esp), %ecx   # object
    movl 16(%esp), %edx   # passThrough
    pushl 20(%esp)        # value
    call *%eax
    movl %esp, %edx
    subl %esi, %edx       # stack drift
    movl %esi, %esp
    movzbl %al, %eax
    popl %esi
    ret
)");

namespace {

// Stand-in for an engine CVar setter (42 bytes):
//   +0  64 A1 00 00 00 00   mov eax, fs:[0]
//   +6  8B 44 24 04         mov eax, [esp+4]        ; value
//  +10  89 51 20            mov [ecx+20h], edx      ; record the pass-through register
//  +13  F6 41 06 01         test byte [ecx+6], 1    ; object refuses the set?
//  +17  75 12               jnz +37
//  +19  89 41 18            mov [ecx+18h], eax      ; integer
//  +22  DB 41 18            fild dword [ecx+18h]
//  +25  D9 59 14            fstp dword [ecx+14h]    ; float
//  +28  C6 41 1C 01         mov byte [ecx+1Ch], 1   ; bool
//  +32  B0 01               mov al, 1
//  +34  C2 04 00            ret 4
//  +37  32 C0               xor al, al
//  +39  C2 04 00            ret 4
const uint8_t fakeSetter[] = {0x64, 0xA1, 0x00, 0x00, 0x00, 0x00, 0x8B, 0x44, 0x24, 0x04, 0x89,
                              0x51, 0x20, 0xF6, 0x41, 0x06, 0x01, 0x75, 0x12, 0x89, 0x41, 0x18,
                              0xDB, 0x41, 0x18, 0xD9, 0x59, 0x14, 0xC6, 0x41, 0x1C, 0x01, 0xB0,
                              0x01, 0xC2, 0x04, 0x00, 0x32, 0xC0, 0xC2, 0x04, 0x00};

constexpr uint32_t setterSpacing = 0x100;
constexpr std::size_t objectSize = 112;
alignas(16) uint8_t cvars[3 * objectSize]; // r_xres, r_fov, a CVar the plug-in leaves alone

uint8_t* object(std::size_t index) {
    return cvars + index * objectSize;
}

float storedFloat(std::size_t index) {
    float value;
    std::memcpy(&value, object(index) + 20, 4);
    return value;
}
int32_t storedInt(std::size_t index) {
    int32_t value;
    std::memcpy(&value, object(index) + 24, 4);
    return value;
}
uint32_t storedPassThrough(std::size_t index) {
    uint32_t value;
    std::memcpy(&value, object(index) + 32, 4);
    return value;
}

struct Probe {
    bool result;
    int32_t drift;
};
Probe probe(const void* setter, std::size_t index, void* passThrough, unsigned value) {
    const uint64_t r = probeSetter(setter, object(index), passThrough, value);
    return {(r & 0xFF) != 0, int32_t(r >> 32)};
}

class SetterHooks : public ::testing::Test {
protected:
    void SetUp() override {
        memory = &lkm::plugin::windowsMemory();
        // The "game code": five setters in one page, as the engine's module would hold them.
        code = static_cast<uint8_t*>(memory->allocate(0x1000, lkm::plugin::pageExecuteReadWrite));
        ASSERT_NE(code, nullptr);
        std::memset(code, 0xCC, 0x1000);
        for (uint32_t k = 0; k < 5; ++k) {
            std::memcpy(code + k * setterSpacing, fakeSetter, sizeof fakeSetter);
            setters.push_back(k * setterSpacing);
        }
        for (uint32_t s : setters) original.push_back({s, std::vector<uint8_t>(code + s, code + s + 6)});

        std::memset(cvars, 0, sizeof cvars);
        lkm::plugin::enforced = {};
        lkm::plugin::enforced.xresCvar = lkm::plugin::address32(object(0));
        lkm::plugin::enforced.fovCvar = lkm::plugin::address32(object(1));
        lkm::plugin::enforced.defaultFocal = 90;
        lkm::plugin::enforced.resolutionX = 1920;
        lkm::plugin::enforced.resolutionY = 1080;
        lkm::plugin::enforced.forcedBaseFov = 0;
        lkm::plugin::enforced.focalFactor = double(4.0f / 3.0f) / (1920.0 / 1080.0);
        lkm::plugin::active = false;
    }
    void TearDown() override {
        lkm::plugin::active = false;
        lkm::plugin::enforced = {};
        lkm::plugin::enforced.focalFactor = 1.0;
        lkm::plugin::originalSetters = {};
        if (page) memory->release(page);
        if (code) memory->release(code);
    }

    // Gateways and redirections as the start-up makes them, then the commit.
    void redirect() {
        lkm::plugin::Transaction transaction(*memory, code, [](const char*) {});
        const lkm::plugin::GameModule game{original, lkm::plugin::address32(code)};
        lkm::plugin::prepareGateways(*memory, transaction, game, setters, lkm::plugin::hookAddresses(), page);
        transaction.commit();
        ASSERT_TRUE(transaction.committed);
    }

    const void* setter(std::size_t k) const { return code + k * setterSpacing; }

    lkm::plugin::MemoryServices* memory = nullptr;
    uint8_t* code = nullptr;
    std::vector<lkm::ByteRun> original; // each setter's first instruction, as recognition records it
    std::vector<uint32_t> setters;
    void* page = nullptr;
};

TEST_F(SetterHooks, FakeSetterBehavesAsTheEngineDoes) {
    // The stand-in itself, before any redirection: stores, AL = 1, argument removed.
    int tag = 0;
    const Probe p = probe(setter(0), 2, &tag, 800);
    EXPECT_TRUE(p.result);
    EXPECT_EQ(p.drift, 0);
    EXPECT_EQ(storedFloat(2), 800.0f);
    EXPECT_EQ(storedInt(2), 800);
    EXPECT_EQ(storedPassThrough(2), lkm::plugin::address32(&tag));
    object(2)[6] = 1;
    EXPECT_FALSE(probe(setter(0), 2, nullptr, 5).result);
}

TEST_F(SetterHooks, GatewayRunsTheWholeEngineSetter) {
    ASSERT_NO_FATAL_FAILURE(redirect());
    int tag = 0;
    for (std::size_t k = 0; k < 5; ++k) {
        SCOPED_TRACE(k);
        const Probe p =
            probe(reinterpret_cast<const void*>(lkm::plugin::originalSetters[k]), 2, &tag, 640 + k);
        EXPECT_TRUE(p.result);
        EXPECT_EQ(p.drift, 0);
        EXPECT_EQ(storedInt(2), int32_t(640 + k));
        EXPECT_EQ(storedPassThrough(2), lkm::plugin::address32(&tag));
    }
}

TEST_F(SetterHooks, RedirectedSetterEnforcesAndKeepsTheStackBalanced) {
    ASSERT_NO_FATAL_FAILURE(redirect());
    lkm::plugin::active = true;
    int tag = 0;
    for (std::size_t k = 0; k < 5; ++k) {
        SCOPED_TRACE(k);
        const Probe x = probe(setter(k), 0, &tag, 800);
        EXPECT_TRUE(x.result);
        EXPECT_EQ(x.drift, 0);
        EXPECT_EQ(storedFloat(0), 1920.0f);
        EXPECT_EQ(storedInt(0), 1920);
        EXPECT_EQ(object(0)[28], 1);
        EXPECT_EQ(storedPassThrough(0), lkm::plugin::address32(&tag)) << "EDX reaches the engine's setter";

        const Probe f = probe(setter(k), 1, nullptr, 90);
        EXPECT_TRUE(f.result);
        EXPECT_EQ(f.drift, 0);
        EXPECT_EQ(storedFloat(1), 67.5f);
        EXPECT_EQ(storedInt(1), 67);
    }
    // A CVar the plug-in leaves alone keeps what the setter stored.
    EXPECT_TRUE(probe(setter(3), 2, nullptr, 800).result);
    EXPECT_EQ(storedFloat(2), 800.0f);
}

TEST_F(SetterHooks, RefusedSetIsNotEnforced) {
    ASSERT_NO_FATAL_FAILURE(redirect());
    lkm::plugin::active = true;
    EXPECT_TRUE(probe(setter(1), 0, nullptr, 800).result);
    object(0)[6] = 1; // the stand-in now refuses, as the engine does for a locked CVar
    const Probe p = probe(setter(1), 0, nullptr, 1024);
    EXPECT_FALSE(p.result);
    EXPECT_EQ(p.drift, 0);
    EXPECT_EQ(storedFloat(0), 1920.0f) << "left as it was";
}

TEST_F(SetterHooks, CallsThroughTheFastcallTypeManyTimes) {
    ASSERT_NO_FATAL_FAILURE(redirect());
    lkm::plugin::active = true;
    // Called from compiled code through the Setter type: an unbalanced stack
    // would drift by 4 bytes per call and wreck this frame long before the end.
    int tag = 0;
    for (std::size_t k = 0; k < 5; ++k) {
        SCOPED_TRACE(k);
        volatile lkm::plugin::Setter hook = lkm::plugin::hooks[k];
        volatile lkm::plugin::Setter redirected =
            reinterpret_cast<lkm::plugin::Setter>(const_cast<void*>(setter(k)));
        unsigned successes = 0;
        for (unsigned i = 0; i < 100000; ++i) {
            successes += hook(object(1), &tag, i % 200);
            successes += redirected(object(0), &tag, i);
        }
        EXPECT_EQ(successes, 200000u);
        EXPECT_EQ(storedFloat(0), 1920.0f);
        EXPECT_EQ(storedFloat(1), 149.25f); // the last value, 199, scaled by 0.75
    }
}

} // namespace
