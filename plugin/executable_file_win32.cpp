// The game's executable file, read range by range through a shared read-only
// handle: never written, never mapped whole.
#include <windows.h>

#include "lkm/file_error.hpp"
#include "lkm/read_at_win32.hpp"
#include "process_view.hpp"

namespace lkm::plugin {

namespace {

constexpr char cannotOpen[] = "the file cannot be opened";
constexpr char cannotRead[] = "the file cannot be read";
constexpr char shorter[] = "the file became shorter while it was read";

[[noreturn]] void refuse(const char* why) {
    throw lkm::FileError(lkm::FileError::Kind::unreadable, why);
}

class ExecutableFile final : public lkm::ByteSource {
public:
    explicit ExecutableFile(HANDLE file) : file_(file) {}
    ExecutableFile(const ExecutableFile&) = delete;
    ExecutableFile& operator=(const ExecutableFile&) = delete;
    ~ExecutableFile() override { CloseHandle(file_); }

    // Known before anything is read.
    void measure() {
        LARGE_INTEGER size;
        if (!GetFileSizeEx(file_, &size) || size.QuadPart < 0) refuse(cannotRead);
        size_ = uint64_t(size.QuadPart);
    }

    uint64_t size() const override { return size_; }

    void read(uint64_t offset, uint8_t* out, std::size_t length) const override {
        const lkm::windows::ReadOutcome outcome = lkm::windows::readAt(file_, offset, out, length);
        if (!outcome.whole()) refuse(outcome.shorter ? shorter : cannotRead);
    }

private:
    HANDLE file_;
    uint64_t size_ = 0;
};

} // namespace

std::unique_ptr<lkm::ByteSource> openExecutable(const std::wstring& path) {
    if (path.empty()) refuse(cannotOpen);
    const HANDLE handle =
        CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) refuse(cannotOpen);
    std::unique_ptr<ExecutableFile> file;
    try {
        file = std::make_unique<ExecutableFile>(handle);
    } catch (...) {
        CloseHandle(handle);
        throw;
    }
    file->measure();
    return file;
}

} // namespace lkm::plugin
