// Clock, program folder and file operations on Linux. Callers hand in GBK
// paths with '\' as the separator, the way the rest of the program builds
// them; NativePath turns them into what the kernel takes.
#include "text/files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <random>
#include <utility>

#include "text/codec.h"

namespace {

class Fd {
  public:
    explicit Fd(int fd = -1) : fd_(fd) {}
    ~Fd() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd_; }
    int release() { return std::exchange(fd_, -1); }

  private:
    int fd_;
};

bool WriteAll(int fd, const ByteBuffer& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

// Empties the folder open as dirFd, never following a symbolic link: a link
// is removed as a link. Takes ownership of dirFd.
bool EmptyFolder(int dirFd, int depth) {
    DIR* dir = ::fdopendir(dirFd);
    if (dir == nullptr) {
        ::close(dirFd);
        return false;
    }
    bool ok = true;
    while (dirent* entry = ::readdir(dir)) {
        const std::string_view name = entry->d_name;
        if (name == "." || name == "..") {
            continue;
        }
        struct stat st {};
        if (::fstatat(dirFd, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) {
            ok = false;
            continue;
        }
        if (S_ISDIR(st.st_mode)) {
            const int child =
                ::openat(dirFd, entry->d_name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            if (child < 0 || depth > 256 || !EmptyFolder(child, depth + 1)) {
                if (child >= 0 && depth > 256) {
                    ::close(child);
                }
                ok = false;
                continue;
            }
            ok = ::unlinkat(dirFd, entry->d_name, AT_REMOVEDIR) == 0 && ok;
        } else {
            ok = ::unlinkat(dirFd, entry->d_name, 0) == 0 && ok;
        }
    }
    ::closedir(dir);
    return ok;
}

// Size of the character at i under the lead-byte rule.
std::size_t CharSizeAt(std::string_view t, std::size_t i) {
    return (static_cast<unsigned char>(t[i]) >= 0x80 && i + 1 < t.size()) ? 2 : 1;
}

}  // namespace

std::string NativePath(std::string_view path) {
    // Convert first: a GBK trail byte can be 0x5C, which is no separator.
    std::string native = GbkToUtf8(path);
    for (char& c : native) {
        if (c == '\\') {
            c = '/';
        }
    }
    return native;
}

Text NowMillisText() {
    const auto now = std::chrono::system_clock::now().time_since_epoch();
    return std::to_string(std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
}

bool FolderExists(std::string_view path) {
    if (TrimSpaces(path).empty()) {
        return false;
    }
    const Text probe = JoinTexts({path, "\\TEMP.TMP"});
    const std::string native = NativePath(probe);
    // A file of that name that is already there belongs to someone: leave it.
    const Fd fd(::open(native.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644));
    if (fd.get() < 0) {
        return errno == EEXIST && ::access(NativePath(path).c_str(), W_OK) == 0;
    }
    const bool written = WriteAll(fd.get(), ByteBuffer{0x02, 0x03, 0x04});
    const bool exists = FileExists(probe);
    ::unlink(native.c_str());
    return written && exists;
}

Text ProgramDirectory() {
    std::string exe(4096, '\0');
    const ssize_t n = ::readlink("/proc/self/exe", exe.data(), exe.size() - 1);
    if (n <= 0) {
        return {};
    }
    exe.resize(static_cast<std::size_t>(n));
    const std::size_t slash = exe.rfind('/');
    exe.resize(slash == std::string::npos ? 0 : slash);
    return Utf8ToGbk(exe);
}

bool CreateFolder(std::string_view path) {
    return !path.empty() && ::mkdir(NativePath(path).c_str(), 0755) == 0;
}

bool DeleteFolderTree(std::string_view path) {
    while (!path.empty() && path.front() == ' ') {
        path.remove_prefix(1);
    }
    std::string native = NativePath(path);
    while (!native.empty() && native.back() == '/') {
        native.pop_back();
    }
    // An empty path and a root (Linux's or a drive letter's) delete nothing.
    if (native.empty() || (native.size() == 2 && native[1] == ':')) {
        return false;
    }
    const int fd = ::open(native.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    EmptyFolder(fd, 0);
    return ::rmdir(native.c_str()) == 0;
}

bool FileExists(std::string_view path) {
    struct stat st {};
    return !path.empty() && ::lstat(NativePath(path).c_str(), &st) == 0;
}

bool WriteWholeFile(std::string_view path, const ByteBuffer& bytes) {
    if (path.empty()) {
        return false;
    }
    Fd fd(::open(NativePath(path).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
    if (fd.get() < 0) {
        return false;
    }
    const bool written = WriteAll(fd.get(), bytes);
    return ::close(fd.release()) == 0 && written;
}

bool WriteNewFileWhole(std::string_view path, const ByteBuffer& bytes) {
    if (path.empty()) {
        return false;
    }
    const std::string native = NativePath(path);
    const std::size_t slash = native.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : native.substr(0, slash + 1);
    std::string temp = folder + ".part-XXXXXX";
    Fd fd(::mkostemp(temp.data(), O_CLOEXEC));
    if (fd.get() < 0) {
        return false;
    }
    ::fchmod(fd.get(), 0644);
    const bool written = WriteAll(fd.get(), bytes);
    if (::close(fd.release()) != 0 || !written) {
        ::unlink(temp.c_str());
        return false;
    }
    // The final name appears only now, whole, and never over another file.
    if (::renameat2(AT_FDCWD, temp.c_str(), AT_FDCWD, native.c_str(), RENAME_NOREPLACE) == 0) {
        return true;
    }
    bool linked = false;
    if (errno == EINVAL || errno == ENOSYS) {
        linked = ::link(temp.c_str(), native.c_str()) == 0;
    }
    ::unlink(temp.c_str());
    return linked;
}

FileHandle OpenNewFile(std::string_view path) {
    if (path.empty()) {
        return InvalidFile;
    }
    const int fd = ::open(NativePath(path).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    return fd < 0 ? InvalidFile : fd;
}

bool WriteToFile(FileHandle handle, const ByteBuffer& bytes) {
    return handle != InvalidFile && WriteAll(handle, bytes);
}

void CloseFile(FileHandle handle) {
    if (handle != InvalidFile) {
        ::close(handle);
    }
}

bool RemoveFile(std::string_view path) {
    return !path.empty() && ::unlink(NativePath(path).c_str()) == 0;
}

Text SafeName(std::string_view name, int reservedBytes) {
    static constexpr std::string_view Forbidden = "\\/:*?\"<>|";
    const std::size_t limit =
        reservedBytes >= 255 ? 1 : static_cast<std::size_t>(255 - reservedBytes);
    Text out;
    std::size_t utf8Size = 0;
    for (std::size_t i = 0; i < name.size();) {
        const auto c = static_cast<unsigned char>(name[i]);
        Text piece;
        std::size_t pieceUtf8 = 1;
        std::size_t step = 1;
        if (c < 0x80) {
            const bool bad = c < 0x20 || c == 0x7F ||
                             Forbidden.find(static_cast<char>(c)) != std::string_view::npos;
            piece.assign(1, bad ? '_' : static_cast<char>(c));
        } else if (CharSizeAt(name, i) == 2 &&
                   IsGbkPair(c, static_cast<unsigned char>(name[i + 1]))) {
            piece.assign(name.substr(i, 2));
            pieceUtf8 = 3;  // no GBK character needs more than three UTF-8 bytes
            step = 2;
        } else {
            // Not a character of GBK: its lead byte becomes '_' and the walk goes
            // on with the next byte, as the codec does.
            piece.assign(1, '_');
        }
        if (utf8Size + pieceUtf8 > limit) {
            break;
        }
        out += piece;
        utf8Size += pieceUtf8;
        i += step;
    }
    // Trailing dots and spaces go; a name of nothing else becomes "_".
    while (!out.empty() && (out.back() == '.' || out.back() == ' ')) {
        out.pop_back();
    }
    return out.empty() ? Text("_") : out;
}
