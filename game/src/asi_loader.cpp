#include "asi_loader.hpp"

#include "asi_setup.hpp"
#include "process_cost.hpp"

#include <optional>
#include <windows.h>

namespace lkm::game {

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
    case AsiMode::lock:
        return "lock";
    }
    return "?";
}

namespace {

// One call, timed when measuring.
void call(Entry entry, AsiModule& module, const AsiOptions& options) {
    const int64_t start = clockTicks();
    if (options.lowMemory) {
        const FullAddressSpace full;
        entry();
    } else {
        entry();
    }
    if (options.cost) module.callMs.push_back(millisecondsBetween(start, clockTicks()));
}

// The times of the start-up's phases that the benchmark build of the plug-in
// keeps: its export LkmStartupPhases gives the counter's frequency, the start
// and the end of each phase, in counter ticks.
std::vector<int64_t> startupPhases(HMODULE module) {
    constexpr int phases = 7;
    using Phases = const int64_t* (*)();
    const auto read =
        reinterpret_cast<Phases>(reinterpret_cast<void*>(GetProcAddress(module, "LkmStartupPhases")));
    const int64_t* ticks = read ? read() : nullptr;
    if (!ticks || ticks[0] <= 0) return {};
    std::vector<int64_t> micros;
    int64_t last = ticks[1];
    for (int i = 0; i < phases; ++i) {
        const int64_t end = ticks[2 + i];
        micros.push_back(end == 0 ? -1 : (end - last) * 1000000 / ticks[0]);
        if (end != 0) last = end;
    }
    return micros;
}

// The loader DLL ran the loader from its DllMain; its report is read back here.
AsiReport reportFromLockLoader() {
    AsiReport report;
    HMODULE loader = LoadLibraryW((gameFolder() + L"\\" + lockLoaderName).c_str());
    using Read = const AsiReport* (*)();
    const auto read =
        loader ? reinterpret_cast<Read>(reinterpret_cast<void*>(GetProcAddress(loader, "lockReport")))
               : nullptr;
    if (read != nullptr && read() != nullptr) report = *read();
    report.mode = AsiMode::lock;
    return report;
}

// While it lives the working directory is `folder`, as the loaders set it for a module.
class WorkingDirectory {
public:
    explicit WorkingDirectory(const std::wstring& folder) {
        const DWORD length = GetCurrentDirectoryW(0, nullptr);
        previous_.resize(length);
        if (length == 0 || GetCurrentDirectoryW(length, &previous_[0]) >= length) previous_.clear();
        if (!previous_.empty()) previous_.pop_back(); // the terminator
        SetCurrentDirectoryW(folder.c_str());
    }
    ~WorkingDirectory() {
        if (!previous_.empty()) SetCurrentDirectoryW(previous_.c_str());
    }
    WorkingDirectory(const WorkingDirectory&) = delete;
    WorkingDirectory& operator=(const WorkingDirectory&) = delete;

private:
    std::wstring previous_;
};

} // namespace

AsiReport loadAsiModules(const AsiOptions& options) {
    const AsiMode mode = options.mode;
    if (mode == AsiMode::lock) return reportFromLockLoader();
    AsiReport report;
    report.mode = mode;
    if (mode == AsiMode::none) return report;
    const std::wstring folder = gameFolder();
    for (const std::wstring& name : asiSearch(folder)) {
        AsiModule module;
        module.file = utf8(name);
        const std::wstring path = folder + L"\\" + name;
        const WorkingDirectory here(path.substr(0, path.find_last_of(L'\\')));
        HMODULE handle = LoadLibraryW(path.c_str());
        if (!handle) {
            module.error = GetLastError();
            report.modules.push_back(module);
            continue;
        }
        module.loaded = true;
        auto entry =
            reinterpret_cast<Entry>(reinterpret_cast<void*>(GetProcAddress(handle, "InitializeASI")));
        module.hasEntry = entry != nullptr;
        module.hookCalls = reinterpret_cast<decltype(module.hookCalls)>(
            reinterpret_cast<void*>(GetProcAddress(handle, "GetHookCalls")));
        if (entry) {
            // The sampler's thread comes first: its stack is then in both readings.
            std::optional<CommitSampler> sampler;
            if (options.cost) sampler.emplace();
            if (options.cost) module.before = processMemory();
            switch (mode) {
            case AsiMode::once:
                call(entry, module, options);
                report.calls += 1;
                break;
            case AsiMode::twice:
                call(entry, module, options);
                call(entry, module, options);
                report.calls += 2;
                break;
            case AsiMode::threads:
                report.calls += callFromTwoThreads(entry);
                break;
            case AsiMode::none:
            case AsiMode::lock:
                break;
            }
            if (sampler) {
                module.after = processMemory();
                module.sampledPeakCommit = sampler->finish();
                module.phaseUs = startupPhases(handle);
            }
        }
        report.modules.push_back(module);
    }
    return report;
}

} // namespace lkm::game
