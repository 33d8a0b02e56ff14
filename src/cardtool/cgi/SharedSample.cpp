#include "cardtool/cgi/SharedSample.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstring>
#include <ctime>
#include <thread>

#include "cardtool/OutputFile.h"
#include "metrics/PlainFile.h"

namespace CardTool {

namespace {

using std::chrono::milliseconds;

// A sample is a few hundred bytes; anything longer is not one.
constexpr std::size_t kLongestFile = 4096;
constexpr int kSafeOpen = O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY;
constexpr milliseconds kPollStep{20};

// Why a file opened at a path under /tmp is not to be used: not a plain
// regular file (PlainFile's rule), or another user's.
int refusalOf(int fd) {
    struct stat status {};
    if (::fstat(fd, &status) == -1) {
        return errno;
    }
    const int refusal = PlainFile::refusalOf(status);
    return refusal != 0 ? refusal : status.st_uid == ::geteuid() ? 0 : EPERM;
}

// Control characters would break the file's lines.
std::string oneLine(std::string text) {
    for (char& c : text) {
        if (static_cast<unsigned char>(c) < 0x20) {
            c = '?';
        }
    }
    return text;
}

bool readNumber(const char*& at, const char* end, long long& value) {
    while (at < end && *at == ' ') {
        ++at;
    }
    const auto [next, error] = std::from_chars(at, end, value);
    at = next;
    return error == std::errc();
}

bool readValues(const std::string& text, std::array<int, kSignalValues>& values) {
    const char* at = text.data();
    const char* const end = at + text.size();
    for (int& value : values) {
        long long number = 0;
        if (!readNumber(at, end, number) || number < -65536 || number > 65535) {
            return false;
        }
        value = static_cast<int>(number);
    }
    return at == end;
}

// Stores one "key value" line into `sample`; false for a bad value.
bool readField(const std::string& key, const std::string& value, SharedSample& sample,
               bool& hasValues) {
    if (key == "sampled_ms") {
        long long ms = 0;
        const char* at = value.data();
        if (!readNumber(at, at + value.size(), ms) || at != value.data() + value.size()) {
            return false;
        }
        sample.sampledAt = milliseconds(ms);
    } else if (key == "values") {
        hasValues = readValues(value, sample.signal.values);
        return hasValues;
    } else if (key == "time") {
        sample.signal.time = value;
    } else if (key == "failure") {
        sample.signal.failure = value;
    } else if (key == "port") {
        sample.port = value;
    } else if (key == "model") {
        sample.model = value;
    } else if (key == "model_failure") {
        sample.modelFailure = value;
    }
    return true;
}

}  // namespace

milliseconds monotonicNow() {
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    return milliseconds(static_cast<long long>(now.tv_sec) * 1000 + now.tv_nsec / 1000000);
}

bool SharedSample::freshAt(milliseconds now, milliseconds interval) const {
    // A time ahead of now is from before a reboot (a /tmp on disk): stale.
    return sampledAt && *sampledAt <= now && now - *sampledAt < interval;
}

std::string sharedSampleText(const SharedSample& sample) {
    std::string text;
    if (sample.sampledAt) {
        text += "sampled_ms " + std::to_string(sample.sampledAt->count()) + '\n';
    }
    text += "time " + oneLine(sample.signal.time) + "\nport " + oneLine(sample.port) + "\nmodel " +
            oneLine(sample.model) + "\nmodel_failure " + oneLine(sample.modelFailure) + '\n';
    if (!sample.signal.failure.empty()) {
        return text + "failure " + oneLine(sample.signal.failure) + '\n';
    }
    text += "values";
    for (const int value : sample.signal.values) {
        text += ' ' + std::to_string(value);
    }
    return text + '\n';
}

std::optional<SharedSample> parseSharedSample(const std::string& text) {
    SharedSample sample;
    bool hasValues = false;
    for (std::size_t start = 0; start < text.size();) {
        const std::size_t end = text.find('\n', start);
        if (end == std::string::npos) {
            return std::nullopt;  // cut short
        }
        const std::size_t space = text.find(' ', start);
        if (space == std::string::npos || space > end ||
            !readField(text.substr(start, space - start), text.substr(space + 1, end - space - 1),
                       sample, hasValues)) {
            return std::nullopt;
        }
        start = end + 1;
    }
    // Values, or why there are none: one of the two.
    if (!sample.sampledAt || hasValues == !sample.signal.failure.empty()) {
        return std::nullopt;
    }
    return sample;
}

std::optional<SharedSample> readSharedSample() {
    const int fd = ::open(kSharedSamplePath, O_RDONLY | kSafeOpen);
    if (fd == -1) {
        return std::nullopt;
    }
    std::string text;
    if (refusalOf(fd) == 0) {
        char buffer[kLongestFile + 1];
        std::size_t held = 0;
        ssize_t got = 0;
        while (held < sizeof buffer &&
               (got = ::read(fd, buffer + held, sizeof buffer - held)) > 0) {
            held += static_cast<std::size_t>(got);
        }
        if (got >= 0 && held <= kLongestFile) {
            text.assign(buffer, held);
        }
    }
    ::close(fd);
    return parseSharedSample(text);
}

std::string writeSharedSample(const SharedSample& sample) {
    return replaceFile(kSharedSamplePath, sharedSampleText(sample));
}

SamplerLock::SamplerLock() {
    fd = ::open(kSamplerLockPath, O_RDWR | O_CREAT | kSafeOpen, 0600);
    const int refusal = fd == -1 ? errno : refusalOf(fd);
    if (refusal != 0) {
        why = std::string("cannot use ") + kSamplerLockPath + ": " + std::strerror(refusal);
    }
}

SamplerLock::~SamplerLock() {
    if (fd != -1) {
        ::close(fd);
    }
}

bool SamplerLock::tryTake() {
    return why.empty() && ::flock(fd, LOCK_EX | LOCK_NB) == 0;
}

void SamplerLock::awaitSampler(milliseconds bound) {
    const milliseconds end = monotonicNow() + bound;
    while (why.empty() && ::flock(fd, LOCK_SH | LOCK_NB) == -1 && monotonicNow() < end) {
        std::this_thread::sleep_for(kPollStep);
    }
    ::flock(fd, LOCK_UN);
}

}  // namespace CardTool
