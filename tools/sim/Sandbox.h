// Runs the real probe binary in a private mount namespace (probe_sandbox)
// and collects what it left: exit status, standard output and error, the
// metrics file, and how long it took. As under cron, each run leads a
// session of its own, without a controlling terminal.
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <utility>
#include <vector>

struct ProbeRun {
    int exitStatus = -1;  // -1 when killed or not exited normally
    bool hung = false;    // killed after the time limit
    std::string out;
    std::string err;
    std::chrono::milliseconds elapsed{0};
    std::optional<std::string> metrics;  // none when the file does not exist
};

class ProbeSandbox {
public:
    ProbeSandbox();
    ~ProbeSandbox();
    ProbeSandbox(const ProbeSandbox&) = delete;
    ProbeSandbox& operator=(const ProbeSandbox&) = delete;

    // "" when sandboxes can be built here, otherwise why not.
    static std::string unavailableReason();

    // Also during a run: it sees the new list.
    void setDriverList(const std::string& text);
    // `name` (e.g. "ttyUSB1") appears in /dev and leads to `path`.
    void addDevice(const std::string& name, const std::string& path);
    // `name` appears in /dev as a link to `target` (a pseudo-terminal under
    // /dev/pts), as udev makes one; also during a run, replacing the link.
    void linkDevice(const std::string& name, const std::string& target);
    // The crontab places (/etc/crontabs, /etc/cron, /etc/crontab,
    // /etc/cron.d, /var/spool/cron) show only the files added here, none after
    // hideCrontabs alone. `path` is the one the command sees.
    void hideCrontabs();
    void addCrontab(const std::string& path, const std::string& text);
    // The directory the sandbox shows as /tmp.
    std::string tmpDir() const { return root + "/tmp"; }
    // Later runs start with these standard descriptors closed, as after
    // cron's ">&- 2>&-"; their output and error then read "".
    void closeDescriptors(std::vector<int> descriptors) { closed = std::move(descriptors); }
    // Later runs switch to this user and group id inside the sandbox (needs root).
    void runAsUser(unsigned id) { user = std::to_string(id); }
    // Copies a program into the sandbox's /tmp as `name`, for programs that
    // run inside it by path; returns the path they see.
    std::string stageProgram(const std::string& path, const std::string& name) const;

    // The probe_sandbox command line that runs `command` in this sandbox,
    // for a program that runs beside the test (a web server).
    std::vector<std::string> command(const std::vector<std::string>& command) const;
    ProbeRun run(const std::vector<std::string>& command,
                 std::chrono::milliseconds limit = std::chrono::seconds(10)) const;
    // Runs the probe under test with `arguments`, under the launcher named by
    // the environment variable QUORVEX_PROBE_LAUNCHER (words separated by
    // spaces, e.g. a valgrind or qemu command line) when it is set.
    ProbeRun runProbe(const std::vector<std::string>& arguments = {},
                      std::chrono::milliseconds limit = std::chrono::seconds(10)) const;
    // The same for quorvexcard (cardToolPath), under the launcher named by
    // QUORVEX_CARDTOOL_LAUNCHER when it is set, with only the `environment`
    // given ("NAME=value" words; none: the test's own), as a CGI runs.
    ProbeRun runCardTool(const std::vector<std::string>& arguments = {},
                         const std::vector<std::string>& environment = {},
                         std::chrono::milliseconds limit = std::chrono::seconds(10)) const;
    // The command line that runs quorvexcard so in the sandbox, for a run the
    // caller starts and watches itself while the sandbox changes.
    std::vector<std::string> cardToolCommandLine(const std::vector<std::string>& arguments) const;

private:
    std::vector<std::string> underLauncher(const char* launcherVariable, const std::string& program,
                                           const std::vector<std::string>& arguments,
                                           const std::vector<std::string>& environment = {}) const;

    std::string root;
    bool hasDriverList = false;
    bool hasCrontabs = false;
    std::vector<std::string> deviceOptions;
    std::vector<int> closed;
    std::string user;
};

std::string readFileText(const std::string& path);
void writeFileText(const std::string& path, const std::string& text);
// The probe binary under test: this build's, or another's named by the
// environment variable QUORVEX_PROBE (e.g. the device's, run under qemu as
// QUORVEX_PROBE_LAUNCHER).
std::string probePath();
// Whether runProbe runs the probe under a launcher.
bool probeUnderLauncher();
// The field tool under test: this build's, or another's named by the
// environment variable QUORVEX_CARDTOOL (e.g. the device's, run under qemu
// as QUORVEX_CARDTOOL_LAUNCHER).
std::string cardToolPath();
// Whether runCardTool runs the tool under a launcher.
bool cardToolUnderLauncher();
// The extra time a run of the probe may take under its launcher; also
// what the card's own waits may take beyond their bound when the test
// command runs the test executables under the same tool (valgrind).
std::chrono::milliseconds launcherAllowance();
