#include "asi_setup.hpp"

#include <algorithm>
#include <cwctype>

namespace lkm::game {

namespace {

std::wstring iniOf(const std::wstring& module) {
    return module.substr(0, module.rfind(L'.')) + L".ini";
}

std::wstring wide(const std::string& text) {
    return std::wstring(text.begin(), text.end()); // names given on the command line are ASCII
}

// FindFirstFileW also matches longer extensions through short names.
bool isAsi(const std::wstring& name) {
    if (name.size() < 4) return false;
    std::wstring tail = name.substr(name.size() - 4);
    for (auto& c : tail) c = wchar_t(std::towlower(c));
    return tail == L".asi";
}

} // namespace

std::wstring gameFolder() {
    std::wstring path(32768, L'\0');
    const DWORD length = GetModuleFileNameW(nullptr, &path[0], DWORD(path.size()));
    if (length == 0 || length >= path.size()) return L".";
    path.resize(length);
    const size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? L"." : path.substr(0, slash);
}

namespace {

// The names in `folder` that match `pattern` and of which `wanted` holds, in name order.
template <class Wanted>
std::vector<std::wstring> namesIn(const std::wstring& folder, const wchar_t* pattern, Wanted wanted) {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW data{};
    HANDLE find = FindFirstFileW((folder + pattern).c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return names;
    do {
        if (wanted(data)) names.emplace_back(data.cFileName);
    } while (FindNextFileW(find, &data));
    FindClose(find);
    std::sort(names.begin(), names.end());
    return names;
}

bool isFolder(const WIN32_FIND_DATAW& data) {
    return (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

} // namespace

std::vector<std::wstring> asiFiles(const std::wstring& folder) {
    return namesIn(folder, L"\\*.asi",
                   [](const WIN32_FIND_DATAW& data) { return !isFolder(data) && isAsi(data.cFileName); });
}

namespace {

// The folders directly inside `folder`, in name order.
std::vector<std::wstring> subfolders(const std::wstring& folder) {
    return namesIn(folder, L"\\*", [](const WIN32_FIND_DATAW& data) {
        const std::wstring name = data.cFileName;
        return isFolder(data) && name != L"." && name != L"..";
    });
}

void addFrom(const std::wstring& root, const std::wstring& relative, std::vector<std::wstring>& modules) {
    const std::wstring prefix = relative.empty() ? L"" : relative + L"\\";
    for (const std::wstring& name : asiFiles(relative.empty() ? root : root + L"\\" + relative))
        modules.push_back(prefix + name);
}

} // namespace

std::vector<std::wstring> asiSearch(const std::wstring& gameFolder) {
    std::vector<std::wstring> modules;
    addFrom(gameFolder, L"", modules);
    for (const wchar_t* folder : {L"scripts", L"plugins", L"update"}) {
        for (const std::wstring& below : subfolders(gameFolder + L"\\" + folder))
            addFrom(gameFolder, std::wstring(folder) + L"\\" + below, modules);
        addFrom(gameFolder, folder, modules);
    }
    return modules;
}

AsiFolder::AsiFolder(const AsiSetup& setup) {
    const std::wstring folder = gameFolder() + L"\\";
    std::vector<std::wstring> modules = asiFiles(folder);
    if (!setup.copyAs.empty() && !modules.empty()) {
        const std::wstring copy = wide(setup.copyAs) + L".asi";
        CopyFileW((folder + modules.front()).c_str(), (folder + copy).c_str(), FALSE);
        modules = asiFiles(folder);
    }
    for (const std::wstring& module : modules) {
        const std::wstring ini = folder + iniOf(module);
        if (setup.iniFolder) {
            // An INI already there moves into the folder, as an archive unpacked one level too deep.
            const std::wstring aside = ini + L".aside";
            const bool moved = MoveFileW(ini.c_str(), aside.c_str()) != 0;
            CreateDirectoryW(ini.c_str(), nullptr);
            if (moved) MoveFileW(aside.c_str(), (ini + L"\\" + iniOf(module)).c_str());
        }
        if (setup.lockIni) {
            // Open for reading and writing, sharing nothing: as an editor that locks its file.
            const HANDLE file = CreateFileW(ini.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
            if (file != INVALID_HANDLE_VALUE) locks_.push_back(file);
        }
    }
}

AsiFolder::~AsiFolder() {
    for (HANDLE file : locks_) CloseHandle(file);
}

FullAddressSpace::FullAddressSpace() {
    // Ever smaller blocks until not even one page is left to reserve.
    for (SIZE_T size = SIZE_T(1) << 30; size >= 0x1000; size /= 2)
        while (count_ < maxBlocks &&
               (blocks_[count_] = VirtualAlloc(nullptr, size, MEM_RESERVE, PAGE_NOACCESS)))
            ++count_;
}

FullAddressSpace::~FullAddressSpace() {
    for (int i = 0; i < count_; ++i) VirtualFree(blocks_[i], 0, MEM_RELEASE);
}

} // namespace lkm::game
