#include <windows.h>

#include <algorithm>
#include <cstring>
#include <cwchar>
#include <iterator>
#include <stdexcept>
#include <string>

#include "claim.hpp"
#include "lkm/utf8_win32.hpp"

namespace lkm::plugin {

namespace {

// The shared block behind the claim: the claimant's file name, published by `ready`.
struct ClaimBlock {
    volatile LONG ready;
    wchar_t name[1022]; // longer names are cut; a file name has at most 255 characters
};
static_assert(sizeof(ClaimBlock) == 2048);

constexpr DWORD readyWaitMs = 5000; // the claimant writes its name right after creating the block
constexpr char cannotClaim[] = "Cannot claim the game process.";

// "Larkmere.WidescreenFix.claim." and the process id in decimal, formed by hand:
// std::to_wstring would bring the C runtime's wide formatter into the .asi.
std::wstring claimName() {
    std::wstring digits;
    for (DWORD id = GetCurrentProcessId(); digits.empty() || id != 0; id /= 10)
        digits.insert(digits.begin(), wchar_t(L'0' + id % 10));
    return L"Larkmere.WidescreenFix.claim." + digits;
}

} // namespace

void claimProcess(const std::wstring& modulePath) {
    const std::wstring objectName = claimName();
    const HANDLE mapping = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                              sizeof(ClaimBlock), objectName.c_str());
    if (mapping == nullptr) throw std::runtime_error(cannotClaim);
    const bool claimedBefore = GetLastError() == ERROR_ALREADY_EXISTS;
    // Released on every way out, except the claimant's handle, which stays open
    // for the life of the process.
    struct View {
        HANDLE mapping;
        ClaimBlock* block;
        bool keepMapping = false;
        ~View() {
            if (block != nullptr) UnmapViewOfFile(block);
            if (!keepMapping) CloseHandle(mapping);
        }
    } view{mapping,
           static_cast<ClaimBlock*>(MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, sizeof(ClaimBlock)))};
    ClaimBlock* const block = view.block;
    if (block == nullptr) throw std::runtime_error(cannotClaim);

    if (!claimedBefore) {
        // The name goes in first, then the flag that publishes it.
        const std::wstring name = fileNameOf(modulePath);
        const std::size_t length = std::min(name.size(), std::size(block->name) - 1);
        std::memcpy(block->name, name.data(), length * sizeof(wchar_t));
        block->name[length] = L'\0';
        InterlockedExchange(&block->ready, 1);
        view.keepMapping = true;
        return;
    }
    // Another copy's: wait (bounded) until its name is there.
    for (DWORD waited = 0; InterlockedCompareExchange(&block->ready, 1, 1) == 0 && waited < readyWaitMs;
         ++waited)
        Sleep(1);
    const std::wstring claimant(block->name, wcsnlen(block->name, std::size(block->name)));
    throw std::runtime_error(anotherCopyMessage(lkm::windows::narrowed(claimant)));
}

} // namespace lkm::plugin
