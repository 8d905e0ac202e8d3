// A stand-in for the ASI loader: loads the plug-in, calls InitializeASI as the
// mode says, and writes what it saw to a report file for the test driver:
//   startup_host <plug-in path> <report path> load|once|twice|threads
// Report lines: "debug <text>" for each debugger line in the order received,
// then "key value" lines of the mode's own findings.
#include <windows.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

CRITICAL_SECTION debugLock;
std::vector<std::string> debugLines;

// OutputDebugStringA raises DBG_PRINTEXCEPTION_C with the text length (NUL
// included) and the text; continuing execution makes it return at once.
LONG CALLBACK captureDebugOutput(EXCEPTION_POINTERS* exception) {
    const EXCEPTION_RECORD& record = *exception->ExceptionRecord;
    if (record.ExceptionCode != DBG_PRINTEXCEPTION_C || record.NumberParameters < 2)
        return EXCEPTION_CONTINUE_SEARCH;
    const auto length = static_cast<std::size_t>(record.ExceptionInformation[0]);
    const auto* text = reinterpret_cast<const char*>(record.ExceptionInformation[1]);
    EnterCriticalSection(&debugLock);
    debugLines.emplace_back(text, length > 0 ? length - 1 : 0);
    LeaveCriticalSection(&debugLock);
    return EXCEPTION_CONTINUE_EXECUTION;
}

std::size_t debugCount() {
    EnterCriticalSection(&debugLock);
    const std::size_t count = debugLines.size();
    LeaveCriticalSection(&debugLock);
    return count;
}

std::wstring logPathOf(const std::wstring& plugin) {
    return plugin.substr(0, plugin.rfind(L'.')) + L".log";
}

// "absent", "folder", "closed" (the host can open it for writing, sharing
// nothing) or "open".
const char* logState(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return "absent";
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) return "folder";
    const HANDLE file =
        CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return "open";
    CloseHandle(file);
    return "closed";
}

std::string fileBytes(const std::wstring& path) {
    std::ifstream in(path.c_str(), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

using Start = void (*)();

struct Racer {
    Start start;
    HANDLE go;
    std::size_t linesAtReturn;
};

DWORD WINAPI race(void* parameter) {
    auto& racer = *static_cast<Racer*>(parameter);
    WaitForSingleObject(racer.go, INFINITE);
    racer.start();
    racer.linesAtReturn = debugCount();
    return 0;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: startup_host <plug-in> <report> load|once|twice|threads\n");
        return 2;
    }
    const std::wstring plugin = argv[1];
    const std::wstring mode = argv[3];
    InitializeCriticalSection(&debugLock);
    AddVectoredExceptionHandler(1, captureDebugOutput);

    std::vector<std::string> findings;
    const HMODULE module = LoadLibraryW(plugin.c_str());
    if (!module) {
        std::fprintf(stderr, "cannot load the plug-in (error %lu)\n", GetLastError());
        return 3;
    }
    const auto start =
        reinterpret_cast<Start>(reinterpret_cast<void*>(GetProcAddress(module, "InitializeASI")));
    if (!start) {
        std::fprintf(stderr, "the plug-in has no InitializeASI\n");
        return 3;
    }

    if (mode == L"once" || mode == L"twice") {
        start();
        findings.push_back(std::string("log ") + logState(logPathOf(plugin)));
        if (mode == L"twice") {
            const std::string before = fileBytes(logPathOf(plugin));
            const std::size_t lines = debugCount();
            start();
            findings.push_back(std::string("second-call-log ") +
                               (fileBytes(logPathOf(plugin)) == before ? "unchanged" : "changed"));
            findings.push_back("second-call-debug-lines " + std::to_string(debugCount() - lines));
        }
    } else if (mode == L"threads") {
        const HANDLE go = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        Racer racers[2] = {{start, go, 0}, {start, go, 0}};
        HANDLE threads[2];
        for (int i = 0; i < 2; ++i) threads[i] = CreateThread(nullptr, 0, race, &racers[i], 0, nullptr);
        SetEvent(go);
        WaitForMultipleObjects(2, threads, TRUE, INFINITE);
        for (int i = 0; i < 2; ++i) {
            findings.push_back("thread-" + std::to_string(i) + "-lines-at-return " +
                               std::to_string(racers[i].linesAtReturn));
            CloseHandle(threads[i]);
        }
        CloseHandle(go);
        findings.push_back(std::string("log ") + logState(logPathOf(plugin)));
    } else if (mode != L"load") {
        std::fprintf(stderr, "unknown mode\n");
        return 2;
    }

    // What the display reports to anyone who asks, for the automatic resolution.
    DEVMODEW display{};
    display.dmSize = sizeof display;
    if (EnumDisplaySettingsW(nullptr, ENUM_CURRENT_SETTINGS, &display))
        findings.push_back("display " + std::to_string(display.dmPelsWidth) + "x" +
                           std::to_string(display.dmPelsHeight));

    std::ofstream report(argv[2], std::ios::binary);
    EnterCriticalSection(&debugLock);
    for (const std::string& line : debugLines) report << "debug " << line << '\n';
    LeaveCriticalSection(&debugLock);
    for (const std::string& line : findings) report << line << '\n';
    return report ? 0 : 4;
}
