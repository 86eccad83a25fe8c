// Running the standard tools with an argument vector, never through a shell,
// so that no character of a path can be read as shell syntax.
#include "fs/run_program.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>
#include "fs/interruption.h"
#include "fs/unique_file_handle.h"

using tpl::NarrowString;

namespace {

// What the child sets up between fork and exec; prepared before the fork so
// that the child only makes async-signal-safe calls.
struct ChildSetup {
    bool discardErrors = false;
    // A tool of the layer: killed with us (a SIGKILL gives us no chance to
    // stop it, and a tool left working would change the tree behind a
    // recovery) and, while we catch interruptions, deaf to them.
    bool layerTool = false;
    pid_t parent = 0;
    sigset_t mask;
};

ChildSetup PrepareChild(bool discardErrors, bool layerTool) {
    ChildSetup setup;
    setup.discardErrors = discardErrors;
    setup.layerTool = layerTool;
    setup.parent = ::getpid();
    sigemptyset(&setup.mask);
    // The process stops cleanly on these itself; the tool finishes its one
    // step rather than dying half-way through a move.
    if (layerTool && InterruptionHandlersInstalled()) {
        sigaddset(&setup.mask, SIGINT);
        sigaddset(&setup.mask, SIGTERM);
        sigaddset(&setup.mask, SIGHUP);
    }
    return setup;
}

bool Redirect(int target, const char* path, int flags) {
    const int fd = ::open(path, flags);
    if (fd < 0) return false;
    const bool done = fd == target || ::dup2(fd, target) == target;
    if (fd != target) ::close(fd);
    return done;
}

// In the child: stdin from /dev/null so that no tool can stop to ask a
// question (mv does when a write-protected file would be replaced on a
// terminal); a clean signal state so that the program behaves as from a
// terminal. On failure errno goes up the pipe and the child ends.
[[noreturn]] void ExecChild(char* const* args, const ChildSetup& setup, int reportFd) {
    if (setup.layerTool && (::prctl(PR_SET_PDEATHSIG, SIGKILL) != 0 || ::getppid() != setup.parent))
        ::_exit(127);  // we are already gone, or cannot make sure to go with us
    bool ready = Redirect(STDIN_FILENO, "/dev/null", O_RDONLY);
    if (ready && setup.discardErrors) ready = Redirect(STDERR_FILENO, "/dev/null", O_WRONLY);
    struct sigaction defaults = {};
    defaults.sa_handler = SIG_DFL;
    sigemptyset(&defaults.sa_mask);
    for (int signal : {SIGPIPE, SIGINT, SIGQUIT}) ::sigaction(signal, &defaults, nullptr);
    if (ready && ::sigprocmask(SIG_SETMASK, &setup.mask, nullptr) == 0) ::execvp(args[0], args);
    const int err = errno;
    if (::write(reportFd, &err, sizeof err) < 0) {
        // the parent sees the pipe close and the exit status instead
    }
    ::_exit(127);
}

// Waits for the child; its exit status, or -1 when it did not exit normally.
int WaitForChild(pid_t child) {
    int status;
    while (::waitpid(child, &status, 0) < 0) {
        if (errno != EINTR) return -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// True when the child reported that it could not start the program; the
// pipe closes without a word when exec succeeds.
bool StartFailed(int reportFd) {
    int err = 0;
    for (;;) {
        const ssize_t got = ::read(reportFd, &err, sizeof err);
        if (got < 0 && errno == EINTR) continue;
        return got > 0;
    }
}

// Runs argv[0] from PATH; the exit status, or -1. layerTool: one of the
// layer's own tools, which dies with the thread that started it.
int RunProgram(const std::vector<const char*>& argv, bool discardErrors, bool layerTool) {
    if (argv.empty() || argv[0] == nullptr) return -1;
    std::vector<char*> args;
    args.reserve(argv.size() + 1);
    for (const char* arg : argv) args.push_back(const_cast<char*>(arg));
    args.push_back(nullptr);
    const ChildSetup setup = PrepareChild(discardErrors, layerTool);

    int report[2];
    if (::pipe2(report, O_CLOEXEC) != 0) return -1;
    UniqueFileHandle reading(report[0]);
    UniqueFileHandle writing(report[1]);
    const pid_t child = ::fork();
    if (child < 0) return -1;
    if (child == 0) ExecChild(args.data(), setup, report[1]);
    writing.Reset();
    const bool failed = StartFailed(reading.Get());
    const int status = WaitForChild(child);
    return failed ? -1 : status;
}

}  // namespace

namespace fs_detail {

int RunTool(const std::vector<const char*>& argv, bool discardErrors) {
    return RunProgram(argv, discardErrors, true);
}

}  // namespace fs_detail

int RunShellCommand(const std::vector<NarrowString>& argv, bool discardErrors) {
    std::vector<const char*> args;
    args.reserve(argv.size());
    for (const NarrowString& arg : argv) args.push_back(arg.Data());
    // A program started for the user (a document viewer) stays stoppable and
    // may go on after we end.
    return RunProgram(args, discardErrors, false);
}
