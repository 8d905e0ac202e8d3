#include "asi_loader.hpp"

#include "asi_setup.hpp"

#include <windows.h>

namespace {

using Entry = void (*)();

std::string utf8(const std::wstring& text) {
    if (text.empty()) return {};
    const int size =
        WideCharToMultiByte(CP_UTF8, 0, text.c_str(), int(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(size_t(size > 0 ? size : 0), '\0');
    if (size > 0)
        WideCharToMultiByte(CP_UTF8, 0, text.c_str(), int(text.size()), &out[0], size, nullptr, nullptr);
    return out;
}

struct Racer {
    Entry entry;
    HANDLE start;
};

DWORD WINAPI race(void* parameter) {
    auto* racer = static_cast<Racer*>(parameter);
    WaitForSingleObject(racer->start, INFINITE);
    racer->entry();
    return 0;
}

// Two threads wait at one gate and call the entry together.
int callFromTwoThreads(Entry entry) {
    HANDLE start = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (!start) return 0;
    Racer racer{entry, start};
    HANDLE threads[2] = {CreateThread(nullptr, 0, race, &racer, 0, nullptr),
                         CreateThread(nullptr, 0, race, &racer, 0, nullptr)};
    int started = 0;
    for (HANDLE thread : threads) started += thread ? 1 : 0;
    SetEvent(start);
    for (HANDLE thread : threads) {
        if (!thread) continue;
        WaitForSingleObject(thread, INFINITE);
        CloseHandle(thread);
    }
    CloseHandle(start);
    return started;
}

} // namespace

const char* asiModeName(AsiMode mode) {
    switch (mode) {
    case AsiMode::once:
        return "once";
    case AsiMode::twice:
        return "twice";
    case AsiMode::threads:
        return "threads";
    case AsiMode::none:
        return "none";
    }
    return "?";
}

AsiReport loadAsiModules(AsiMode mode) {
    AsiReport report;
    report.mode = mode;
    if (mode == AsiMode::none) return report;
    const std::wstring folder = gameFolder();
    for (const std::wstring& name : asiFiles(folder)) {
        AsiModule module;
        module.file = utf8(name);
        HMODULE handle = LoadLibraryW((folder + L"\\" + name).c_str());
        if (!handle) {
            module.error = GetLastError();
            report.modules.push_back(module);
            continue;
        }
        module.loaded = true;
        auto entry =
            reinterpret_cast<Entry>(reinterpret_cast<void*>(GetProcAddress(handle, "InitializeASI")));
        module.hasEntry = entry != nullptr;
        if (entry) {
            switch (mode) {
            case AsiMode::once:
                entry();
                report.calls += 1;
                break;
            case AsiMode::twice:
                entry();
                entry();
                report.calls += 2;
                break;
            case AsiMode::threads:
                report.calls += callFromTwoThreads(entry);
                break;
            case AsiMode::none:
                break;
            }
        }
        report.modules.push_back(module);
    }
    return report;
}
