#include "debug_capture.hpp"

#include <cstring>
#include <mutex>
#include <windows.h>

namespace lkm::game {

namespace {

constexpr DWORD debugPrint = 0x40010006; // DBG_PRINTEXCEPTION_C
constexpr ULONG_PTR longestLine = 65536;

std::mutex lock;
std::vector<std::string> lines;

LONG CALLBACK onException(EXCEPTION_POINTERS* pointers) {
    const EXCEPTION_RECORD* record = pointers->ExceptionRecord;
    if (record->ExceptionCode == debugPrint && record->NumberParameters >= 2) {
        const ULONG_PTR length = record->ExceptionInformation[0]; // with the terminator
        const char* text = reinterpret_cast<const char*>(record->ExceptionInformation[1]);
        if (text && length > 0 && length <= longestLine) {
            std::lock_guard<std::mutex> guard(lock);
            lines.emplace_back(text, strnlen(text, length - 1));
        }
    }
    return EXCEPTION_CONTINUE_SEARCH;
}

} // namespace

void startDebugCapture() {
    AddVectoredExceptionHandler(1, onException);
}

std::vector<std::string> capturedDebugLines() {
    std::lock_guard<std::mutex> guard(lock);
    return lines;
}

} // namespace lkm::game
