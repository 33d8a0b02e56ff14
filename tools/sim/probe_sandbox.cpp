// probe_sandbox: runs a command in a private mount namespace that shows it
// a fake USB-serial driver list, chosen /dev/ttyUSB<n> nodes and a private
// /tmp, the three fixed paths of the probe.
//
//   probe_sandbox --root DIR [--driver-list LIST] [--device NAME=PATH]... [--user ID]
//                 [--crontabs CRON] -- COMMAND...
//
// DIR must hold the directories tmp/ (bound on /tmp), dev/ (bound on /dev,
// with the host's /dev/pts in it: links put there during the run to a
// pseudo-terminal lead to it) and stage/ (scratch).
// COMMAND runs by its path, or from the file it named before the mounts when
// the path is gone (a build under /tmp); the programs it starts itself must be
// reachable inside the sandbox.
// Each device PATH (a pseudo-terminal slave) appears as /dev/NAME. The
// directory LIST appears as /proc/tty/driver (its file usbserial is the
// list, replaced during the run as the test likes); without it the list
// does not exist. COMMAND runs as user and group ID when given. As root only the
// mount namespace is new; otherwise a user namespace maps the caller to root
// first. With CRON, the crontab places (/etc/crontabs, /etc/cron,
// /etc/crontab, /etc/cron.d, /var/spool/cron) hold only what CRON holds under the same
// paths: /etc and /var become overlays whose upper layers live in the
// namespace. Exits 125,
// with the failed step on standard error, when the sandbox cannot be built.
#include <fcntl.h>
#include <grp.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

extern char** environ;

namespace {

constexpr int kSandboxFailed = 125;

[[noreturn]] void fail(const std::string& step) {
    std::fprintf(stderr, "probe_sandbox: %s: %s\n", step.c_str(), std::strerror(errno));
    std::exit(kSandboxFailed);
}

void check(bool ok, const std::string& step) {
    if (!ok) {
        fail(step);
    }
}

void writeText(const std::string& path, const std::string& text) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    check(fd != -1, "open " + path);
    check(::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size()),
          "write " + path);
    ::close(fd);
}

// A directory that may be there from an earlier run.
void makeDir(const std::string& path) {
    check(::mkdir(path.c_str(), 0755) == 0 || errno == EEXIST, "mkdir " + path);
}

void mountTmpfs(const char* where) {
    check(::mount("tmpfs", where, "tmpfs", 0, "mode=0755,size=1m") == 0,
          std::string("mount tmpfs on ") + where);
}

void bind(const std::string& from, const std::string& to) {
    check(::mount(from.c_str(), to.c_str(), nullptr, MS_BIND, nullptr) == 0,
          "bind " + from + " on " + to);
}

void enterNamespaces() {
    if (::geteuid() == 0) {
        check(::unshare(CLONE_NEWNS) == 0, "unshare(CLONE_NEWNS)");
        return;
    }
    const std::string uid = std::to_string(::geteuid());
    const std::string gid = std::to_string(::getegid());
    check(::unshare(CLONE_NEWUSER | CLONE_NEWNS) == 0, "unshare(CLONE_NEWUSER | CLONE_NEWNS)");
    writeText("/proc/self/setgroups", "deny");
    writeText("/proc/self/uid_map", "0 " + uid + " 1");
    writeText("/proc/self/gid_map", "0 " + gid + " 1");
}

void showOnlyCrontabs(const std::string& root, const std::string& crontabs) {
    const std::string layers = root + "/stage/layers";
    check(::mkdir(layers.c_str(), 0755) == 0, "mkdir " + layers);
    mountTmpfs(layers.c_str());
    for (const std::string top : {"etc", "var"}) {
        const std::string upper = layers + "/" + top;
        const std::string work = layers + "/" + top + "-work";
        check(::mkdir(upper.c_str(), 0755) == 0 && ::mkdir(work.c_str(), 0755) == 0,
              "mkdir " + upper);
        const std::string options = "lowerdir=/" + top + ",upperdir=" + upper + ",workdir=" + work;
        check(::mount("overlay", ("/" + top).c_str(), "overlay", 0, options.c_str()) == 0,
              "mount overlay on /" + top);
    }
    std::error_code error;
    for (const char* place :
         {"/etc/crontabs", "/etc/cron", "/etc/crontab", "/etc/cron.d", "/var/spool/cron"}) {
        std::filesystem::remove_all(place, error);
        errno = error.value();
        check(!error, std::string("remove ") + place);
    }
    std::filesystem::copy(crontabs, "/", std::filesystem::copy_options::recursive, error);
    errno = error.value();
    check(!error, "copy " + crontabs);
}

}  // namespace

int main(int argc, char** argv) {
    std::string root;
    std::string driverList;
    std::string crontabs;
    std::vector<std::pair<std::string, std::string>> devices;
    std::optional<unsigned> user;
    int i = 1;
    for (; i < argc && std::strcmp(argv[i], "--") != 0; ++i) {
        const std::string option = argv[i];
        if (i + 1 >= argc) {
            std::fprintf(stderr, "probe_sandbox: %s needs a value\n", option.c_str());
            return kSandboxFailed;
        }
        const std::string value = argv[++i];
        if (option == "--root") {
            root = value;
        } else if (option == "--driver-list") {
            driverList = value;
        } else if (option == "--crontabs") {
            crontabs = value;
        } else if (option == "--user") {
            user = std::stoul(value);  // a number: no name service in a static build
        } else if (option == "--device" && value.find('=') != std::string::npos) {
            devices.emplace_back(value.substr(0, value.find('=')),
                                 value.substr(value.find('=') + 1));
        } else {
            std::fprintf(stderr, "probe_sandbox: bad option %s %s\n", option.c_str(),
                         value.c_str());
            return kSandboxFailed;
        }
    }
    if (root.empty() || i + 1 >= argc) {
        std::fprintf(stderr, "usage: probe_sandbox --root DIR [options] -- COMMAND...\n");
        return kSandboxFailed;
    }

    // Opened first: the program may live under the /tmp about to be covered.
    const int program = ::open(argv[i + 1], O_PATH | O_CLOEXEC);
    check(program != -1, std::string("open ") + argv[i + 1]);

    enterNamespaces();
    check(::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0, "make / private");

    // The devices and the pseudo-terminals are staged before the new /dev
    // hides their paths.
    const std::string pts = root + "/stage/pts";
    makeDir(pts);
    bind("/dev/pts", pts);
    for (const auto& [name, path] : devices) {
        const std::string staged = root + "/stage/" + name;
        writeText(staged, "");
        bind(path, staged);
    }
    bind(root + "/dev", "/dev");
    makeDir("/dev/pts");
    bind(pts, "/dev/pts");
    for (const auto& [name, path] : devices) {
        writeText("/dev/" + name, "");
        bind(root + "/stage/" + name, "/dev/" + name);
    }

    mountTmpfs("/proc/tty");
    check(::mkdir("/proc/tty/driver", 0500) == 0, "mkdir /proc/tty/driver");
    if (!driverList.empty()) {
        bind(driverList, "/proc/tty/driver");
    }

    if (!crontabs.empty()) {
        showOnlyCrontabs(root, crontabs);
    }
    bind(root + "/tmp", "/tmp");
    if (user) {
        check(::setgroups(0, nullptr) == 0 && ::setgid(*user) == 0 && ::setuid(*user) == 0,
              "switch to user " + std::to_string(*user));
    }

    // By path where it is still there (scripts need that), else from the file.
    ::execv(argv[i + 1], argv + i + 1);
    ::fexecve(program, argv + i + 1, environ);
    fail(std::string("exec ") + argv[i + 1]);
}
