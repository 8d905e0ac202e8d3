// Files through POSIX calls; a path is the bytes given.
#include "files.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "lkm/mapped_file.hpp"

namespace lkm::inspector {

namespace {

// Closes the descriptor when the scope ends.
struct Descriptor {
    int fd;
    ~Descriptor() {
        if (fd >= 0) close(fd);
    }
};

std::string systemReason() {
    return errno == ENOENT ? fileRefusal::missing : std::strerror(errno);
}

// A file read with pread at the offsets asked for.
class PosixFile : public ByteSource {
public:
    PosixFile(int fd, uint64_t size) : file_{fd}, size_(size) {}
    uint64_t size() const override { return size_; }
    void read(uint64_t offset, uint8_t* out, std::size_t length) const override {
        while (length != 0) {
            const ssize_t got = pread(file_.fd, out, length, off_t(offset));
            if (got < 0 && errno == EINTR) continue;
            if (got < 0) throw FileError(FileError::Kind::unreadable, systemReason());
            if (got == 0) throw FileError(FileError::Kind::unreadable, fileRefusal::shorter);
            out += got;
            offset += uint64_t(got);
            length -= std::size_t(got);
        }
    }

private:
    Descriptor file_;
    uint64_t size_;
};

} // namespace

std::unique_ptr<ByteSource> openFile(const std::string& path) {
    Descriptor in{open(path.c_str(), O_RDONLY | O_CLOEXEC)};
    if (in.fd < 0) throw FileError(FileError::Kind::unreadable, systemReason());
    struct stat status;
    if (fstat(in.fd, &status) != 0) throw FileError(FileError::Kind::unreadable, systemReason());
    if (S_ISDIR(status.st_mode)) throw FileError(FileError::Kind::unreadable, fileRefusal::folder);
    auto file = std::make_unique<PosixFile>(in.fd, uint64_t(status.st_size));
    in.fd = -1;
    return file;
}

void writeNewFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    const Descriptor out{open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666)};
    if (out.fd < 0) {
        const int error = errno;
        struct stat status;
        if (error == EEXIST && stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode))
            throw OutputError(fileRefusal::folder);
        if (error == EEXIST) throw OutputError(fileRefusal::exists);
        if (error == ENOENT) throw OutputError(fileRefusal::noFolder);
        errno = error;
        throw OutputError(systemReason());
    }
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t put = write(out.fd, bytes.data() + done, bytes.size() - done);
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) {
            const std::string reason = put < 0 ? systemReason() : "nothing more could be written";
            unlink(path.c_str());
            throw OutputError(reason);
        }
        done += std::size_t(put);
    }
}

bool sameFile(const std::string& first, const std::string& second) {
    struct stat a, b;
    return stat(first.c_str(), &a) == 0 && stat(second.c_str(), &b) == 0 && a.st_dev == b.st_dev &&
           a.st_ino == b.st_ino;
}

} // namespace lkm::inspector
