// Files through the wide Windows calls, so that a path in any script opens.
#include "files.hpp"

#include <algorithm>

#include "lkm/mapped_file.hpp"
#include "lkm/read_at_win32.hpp"
#include "wide_text_win32.hpp"

namespace lkm::inspector {

namespace {

// Closes the handle when the scope ends.
struct Handle {
    HANDLE h;
    ~Handle() {
        if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
    }
};

// The file's volume and index: one pair per file, whatever path names it.
bool identity(const std::string& path, BY_HANDLE_FILE_INFORMATION& info) {
    const Handle file{CreateFileW(widened(path).c_str(), FILE_READ_ATTRIBUTES,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr)};
    return file.h != INVALID_HANDLE_VALUE && GetFileInformationByHandle(file.h, &info);
}

std::string reasonOf(DWORD error) {
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? fileRefusal::missing
                                                                          : systemMessage(error);
}

// A file read at the offsets asked for.
class WindowsFile : public ByteSource {
public:
    WindowsFile(HANDLE h, uint64_t size) : file_{h}, size_(size) {}
    uint64_t size() const override { return size_; }
    void read(uint64_t offset, uint8_t* out, std::size_t length) const override {
        const lkm::windows::ReadOutcome outcome = lkm::windows::readAt(file_.h, offset, out, length);
        if (outcome.shorter) throw FileError(FileError::Kind::unreadable, fileRefusal::shorter);
        if (!outcome.whole()) throw FileError(FileError::Kind::unreadable, reasonOf(outcome.error));
    }

private:
    Handle file_;
    uint64_t size_;
};

} // namespace

std::unique_ptr<ByteSource> openFile(const std::string& path) {
    const std::wstring wide = widened(path);
    const DWORD attributes = GetFileAttributesW(wide.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        throw FileError(FileError::Kind::unreadable, reasonOf(GetLastError()));
    if (attributes & FILE_ATTRIBUTE_DIRECTORY)
        throw FileError(FileError::Kind::unreadable, fileRefusal::folder);
    Handle in{CreateFileW(wide.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                          OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr)};
    if (in.h == INVALID_HANDLE_VALUE) throw FileError(FileError::Kind::unreadable, reasonOf(GetLastError()));
    LARGE_INTEGER size;
    if (!GetFileSizeEx(in.h, &size)) throw FileError(FileError::Kind::unreadable, reasonOf(GetLastError()));
    auto file = std::make_unique<WindowsFile>(in.h, uint64_t(size.QuadPart));
    in.h = INVALID_HANDLE_VALUE;
    return file;
}

void writeNewFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    const std::wstring wide = widened(path);
    Handle out{
        CreateFileW(wide.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr)};
    if (out.h == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        const DWORD attributes = GetFileAttributesW(wide.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
            throw OutputError(fileRefusal::folder);
        if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS)
            throw OutputError(fileRefusal::exists);
        throw OutputError(error == ERROR_PATH_NOT_FOUND ? fileRefusal::noFolder : reasonOf(error));
    }
    std::size_t done = 0;
    while (done < bytes.size()) {
        const DWORD chunk = DWORD(std::min<std::size_t>(bytes.size() - done, 1u << 20));
        DWORD put = 0;
        if (!WriteFile(out.h, bytes.data() + done, chunk, &put, nullptr) || put == 0) {
            const std::string reason = reasonOf(GetLastError());
            CloseHandle(out.h);
            out.h = INVALID_HANDLE_VALUE;
            DeleteFileW(wide.c_str());
            throw OutputError(reason);
        }
        done += put;
    }
}

bool sameFile(const std::string& first, const std::string& second) {
    BY_HANDLE_FILE_INFORMATION a, b;
    return identity(first, a) && identity(second, b) && a.dwVolumeSerialNumber == b.dwVolumeSerialNumber &&
           a.nFileIndexHigh == b.nFileIndexHigh && a.nFileIndexLow == b.nFileIndexLow;
}

} // namespace lkm::inspector
