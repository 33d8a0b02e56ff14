#include "sim/Sandbox.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <system_error>
#include <thread>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

std::string makeTempDir() {
    char pattern[] = "/tmp/probe-sandbox.XXXXXX";
    if (::mkdtemp(pattern) == nullptr) {
        throw std::system_error(errno, std::generic_category(), "mkdtemp");
    }
    return pattern;
}

void makeDir(const std::string& path) {
    if (::mkdir(path.c_str(), 0755) == -1) {
        throw std::system_error(errno, std::generic_category(), "mkdir " + path);
    }
}

// Opens `path` as descriptor `target`; async-signal-safe, for a forked child.
bool openAs(int target, const char* path, int flags) {
    const int fd = ::open(path, flags, 0644);
    if (fd == -1) {
        return false;
    }
    if (fd == target) {
        return true;
    }
    const bool moved = ::dup2(fd, target) != -1;
    ::close(fd);
    return moved;
}

// Runs in the forked child, so only async-signal-safe calls: a session of
// its own (no controlling terminal, the terminal's signals never reach it),
// standard input from /dev/null, output and error into the files, then the
// descriptors asked closed. An exec that fails ends with the shell's 127.
[[noreturn]] void execInOwnSession(char* const argv[], const char* outPath, const char* errPath,
                                   const std::vector<int>& closed) {
    const bool ready = ::setsid() != -1 && openAs(0, "/dev/null", O_RDONLY) &&
                       openAs(1, outPath, O_WRONLY | O_CREAT | O_TRUNC) &&
                       openAs(2, errPath, O_WRONLY | O_CREAT | O_TRUNC);
    if (ready) {
        for (const int fd : closed) {
            ::close(fd);
        }
        ::execve(argv[0], argv, environ);
    }
    ::_exit(127);
}

}  // namespace

void writeFileText(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    if (!out.flush()) {
        throw std::runtime_error("cannot write " + path);
    }
}

namespace {

// The program named by the environment variable `variable`, else `built`.
std::string programPath(const char* variable, const char* built) {
    const char* other = std::getenv(variable);
    return other != nullptr && *other != '\0' ? other : built;
}

}  // namespace

std::string probePath() {
    return programPath("QUORVEX_PROBE", QUORVEX_PROBE_PATH);
}

std::string cardToolPath() {
    return programPath("QUORVEX_CARDTOOL", QUORVEX_CARDTOOL_PATH);
}

std::string readFileText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

ProbeSandbox::ProbeSandbox() : root(makeTempDir()) {
    makeDir(root + "/tmp");
    makeDir(root + "/stage");
    makeDir(root + "/dev");
    // Only root may read it, as the kernel's.
    makeDir(root + "/driver");
    ::chmod((root + "/driver").c_str(), 0700);
    // The probe runs as root but may be reached through a user namespace.
    ::chmod(root.c_str(), 0755);
    ::chmod(tmpDir().c_str(), 01777);
}

ProbeSandbox::~ProbeSandbox() {
    const std::string command = "rm -rf '" + root + "'";
    if (std::system(command.c_str()) != 0) {
        std::fprintf(stderr, "could not remove %s\n", root.c_str());
    }
}

void ProbeSandbox::setDriverList(const std::string& text) {
    // Replaced whole, so that a run that reads it meanwhile sees one list.
    const std::string list = root + "/driver/usbserial";
    writeFileText(list + ".new", text);
    std::filesystem::rename(list + ".new", list);
    hasDriverList = true;
}

void ProbeSandbox::addDevice(const std::string& name, const std::string& path) {
    deviceOptions.push_back(name + "=" + path);
}

void ProbeSandbox::linkDevice(const std::string& name, const std::string& target) {
    const std::string link = root + "/dev/" + name;
    std::filesystem::create_symlink(target, link + ".new");
    std::filesystem::rename(link + ".new", link);
}

void ProbeSandbox::hideCrontabs() {
    std::filesystem::create_directories(root + "/cron");
    hasCrontabs = true;
}

void ProbeSandbox::addCrontab(const std::string& path, const std::string& text) {
    hideCrontabs();
    const std::filesystem::path file = root + "/cron" + path;
    std::filesystem::create_directories(file.parent_path());
    writeFileText(file, text);
}

std::vector<std::string> ProbeSandbox::command(const std::vector<std::string>& command) const {
    std::vector<std::string> args = {QUORVEX_SANDBOX_PATH, "--root", root};
    if (hasDriverList) {
        args.insert(args.end(), {"--driver-list", root + "/driver"});
    }
    if (hasCrontabs) {
        args.insert(args.end(), {"--crontabs", root + "/cron"});
    }
    for (const auto& device : deviceOptions) {
        args.insert(args.end(), {"--device", device});
    }
    if (!user.empty()) {
        args.insert(args.end(), {"--user", user});
    }
    args.push_back("--");
    args.insert(args.end(), command.begin(), command.end());
    return args;
}

ProbeRun ProbeSandbox::run(const std::vector<std::string>& command,
                           std::chrono::milliseconds limit) const {
    std::vector<std::string> args = this->command(command);
    std::vector<char*> argv;
    for (auto& arg : args) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);

    const std::string outPath = root + "/stdout";
    const std::string errPath = root + "/stderr";
    ::unlink(outPath.c_str());  // a closed descriptor leaves none
    ::unlink(errPath.c_str());

    ProbeRun result;
    const auto start = Clock::now();
    const pid_t pid = ::fork();
    if (pid == -1) {
        throw std::system_error(errno, std::generic_category(), "fork");
    }
    if (pid == 0) {
        execInOwnSession(argv.data(), outPath.c_str(), errPath.c_str(), closed);
    }
    int status = 0;
    for (;;) {
        const pid_t done = ::waitpid(pid, &status, WNOHANG);
        if (done == pid) {
            break;
        }
        if (done == -1 && errno != EINTR) {
            throw std::system_error(errno, std::generic_category(), "waitpid");
        }
        if (Clock::now() - start > limit) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &status, 0);
            result.hung = true;
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    result.elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
    if (!result.hung && WIFEXITED(status)) {
        result.exitStatus = WEXITSTATUS(status);
    }
    result.out = readFileText(outPath);
    result.err = readFileText(errPath);
    const std::string metricsPath = tmpDir() + "/quorvexmetrics";
    if (::access(metricsPath.c_str(), F_OK) == 0) {
        result.metrics = readFileText(metricsPath);
    }
    return result;
}

namespace {

// The words of the launcher named by the environment variable `variable`.
std::vector<std::string> launcherWords(const char* variable) {
    std::vector<std::string> words;
    const char* launcher = std::getenv(variable);
    std::istringstream text(launcher != nullptr ? launcher : "");
    for (std::string word; text >> word;) {
        words.push_back(word);
    }
    return words;
}

}  // namespace

bool probeUnderLauncher() {
    return !launcherWords("QUORVEX_PROBE_LAUNCHER").empty();
}

bool cardToolUnderLauncher() {
    return !launcherWords("QUORVEX_CARDTOOL_LAUNCHER").empty();
}

std::chrono::milliseconds launcherAllowance() {
    return probeUnderLauncher() ? std::chrono::seconds(3) : std::chrono::milliseconds(0);
}

std::string ProbeSandbox::stageProgram(const std::string& path, const std::string& name) const {
    const std::string staged = tmpDir() + "/" + name;
    writeFileText(staged, readFileText(path));
    if (::chmod(staged.c_str(), 0755) == -1) {
        throw std::system_error(errno, std::generic_category(), "chmod " + staged);
    }
    return "/tmp/" + name;
}

std::vector<std::string> ProbeSandbox::underLauncher(
    const char* launcherVariable, const std::string& program,
    const std::vector<std::string>& arguments, const std::vector<std::string>& environment) const {
    std::vector<std::string> command;
    if (!environment.empty()) {
        command = {"/usr/bin/env", "-i"};
        command.insert(command.end(), environment.begin(), environment.end());
    }
    const std::vector<std::string> launcher = launcherWords(launcherVariable);
    command.insert(command.end(), launcher.begin(), launcher.end());
    // A launcher (or env) opens the program inside the sandbox, where a build
    // under /tmp is out of sight.
    command.push_back(command.empty() ? program : stageProgram(program, "program-under-test"));
    command.insert(command.end(), arguments.begin(), arguments.end());
    return command;
}

ProbeRun ProbeSandbox::runProbe(const std::vector<std::string>& arguments,
                                std::chrono::milliseconds limit) const {
    return run(underLauncher("QUORVEX_PROBE_LAUNCHER", probePath(), arguments), limit);
}

ProbeRun ProbeSandbox::runCardTool(const std::vector<std::string>& arguments,
                                   const std::vector<std::string>& environment,
                                   std::chrono::milliseconds limit) const {
    return run(underLauncher("QUORVEX_CARDTOOL_LAUNCHER", cardToolPath(), arguments, environment),
               limit);
}

std::vector<std::string> ProbeSandbox::cardToolCommandLine(
    const std::vector<std::string>& arguments) const {
    return command(underLauncher("QUORVEX_CARDTOOL_LAUNCHER", cardToolPath(), arguments));
}

std::string ProbeSandbox::unavailableReason() {
    static const std::string reason = [] {
        ProbeSandbox sandbox;
        const ProbeRun probe = sandbox.run({"/bin/true"});
        if (probe.exitStatus == 0) {
            return std::string();
        }
        return "cannot build a private mount namespace here (needs root, or user namespaces "
               "that allow mounts): " +
               (probe.err.empty() ? "status " + std::to_string(probe.exitStatus) : probe.err);
    }();
    return reason;
}
