#include "cardtool/OutputFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>

#include "metrics/PlainFile.h"
#include "text/TextOut.h"

namespace CardTool {

namespace {

// Names already taken are skipped; this many are tried.
constexpr int kNameAttempts = 100;

// A hidden name beside the target that does not end in ".prom", so that a
// textfile collector never reads the file while it is being written.
std::string temporaryName(const std::string& target, int attempt) {
    const std::size_t slash = target.rfind('/');
    const std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    char suffix[48];
    const auto clock = std::chrono::steady_clock::now().time_since_epoch().count();
    std::snprintf(suffix, sizeof suffix, ".%ld.%d.%lx", static_cast<long>(::getpid()), attempt,
                  static_cast<unsigned long>(clock));
    return target.substr(0, nameStart) + '.' + target.substr(nameStart) + suffix;
}

// The new file's content until it is renamed over the target; removed
// unless it was.
class TemporaryFile {
public:
    explicit TemporaryFile(const std::string& target) {
        for (int attempt = 0; attempt < kNameAttempts && fd == -1; ++attempt) {
            name = temporaryName(target, attempt);
            fd = ::open(name.c_str(),
                        O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC,
                        PlainFile::kMode);
            if (fd == -1 && errno != EEXIST) {
                break;
            }
        }
        if (fd == -1) {
            name.clear();
        }
    }
    ~TemporaryFile() {
        if (fd != -1) {
            ::close(fd);
        }
        if (!name.empty()) {
            ::unlink(name.c_str());
        }
    }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    bool created() const { return fd != -1; }

    // The whole text on the disk, with the mode whatever the umask.
    bool fill(const std::string& text) {
        if (::fchmod(fd, PlainFile::kMode) == -1 || !Text::writeAll(fd, text.data(), text.size()) ||
            ::fsync(fd) == -1) {
            return false;
        }
        const int closed = ::close(fd);
        fd = -1;
        return closed == 0;
    }

    bool renameOver(const std::string& target) {
        if (::rename(name.c_str(), target.c_str()) == -1) {
            return false;
        }
        name.clear();
        return true;
    }

private:
    int fd = -1;
    std::string name;
};

}  // namespace

std::string replaceFile(const std::string& path, const std::string& text) {
    struct stat status;
    if (::lstat(path.c_str(), &status) == 0) {
        const int refusal = PlainFile::refusalOf(status);
        if (refusal != 0) {
            return std::strerror(refusal);
        }
    } else if (errno != ENOENT) {
        return std::strerror(errno);
    }
    TemporaryFile temporary(path);
    if (!temporary.created() || !temporary.fill(text) || !temporary.renameOver(path)) {
        return std::strerror(errno);  // before the temporary file is removed
    }
    return {};
}

}  // namespace CardTool
