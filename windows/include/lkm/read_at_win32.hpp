// Reading an open file at an offset, for the plug-in's and the inspector's
// readers of whole files.
#pragma once

#include <windows.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>

namespace lkm::windows {

// How a read ended: whole, failed with `error`, or cut short by the file's end.
struct ReadOutcome {
    DWORD error = 0;      // of ReadFile, when it failed
    bool shorter = false; // the file ended before the last byte asked for
    bool whole() const { return error == 0 && !shorter; }
};

// Reads `length` bytes at `offset` of `file` into `out`, in pieces a DWORD can
// count. A read from the file's end with an offset fails with ERROR_HANDLE_EOF
// rather than reading nothing: both mean the file is shorter.
inline ReadOutcome readAt(HANDLE file, uint64_t offset, uint8_t* out, std::size_t length) {
    constexpr std::size_t piece = std::size_t(1) << 20;
    while (length != 0) {
        OVERLAPPED at{};
        at.Offset = DWORD(offset & 0xFFFFFFFFu);
        at.OffsetHigh = DWORD(offset >> 32);
        DWORD got = 0;
        if (!ReadFile(file, out, DWORD(std::min(length, piece)), &got, &at)) {
            const DWORD error = GetLastError();
            if (error == ERROR_HANDLE_EOF) return {0, true};
            // Never a failure that reads as whole.
            return {error != 0 ? error : DWORD(ERROR_READ_FAULT), false};
        }
        if (got == 0) return {0, true};
        out += got;
        offset += got;
        length -= got;
    }
    return {};
}

} // namespace lkm::windows
