// Starting a program with an argument vector, never through a shell.
#include "fs/run_program.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>
#include "fs/unique_file_handle.h"

using tpl::NarrowString;

namespace {

bool Redirect(int target, const char* path, int flags) {
    const int fd = ::open(path, flags);
    if (fd < 0) return false;
    const bool done = fd == target || ::dup2(fd, target) == target;
    if (fd != target) ::close(fd);
    return done;
}

// In the child: stdin from /dev/null so that the program cannot stop to
// ask a question; a clean signal state so that it behaves as from a
// terminal. Only async-signal-safe calls. On failure errno goes up the pipe
// and the child ends.
[[noreturn]] void ExecChild(char* const* args, bool discardErrors, const sigset_t& noSignals, int reportFd) {
    bool ready = Redirect(STDIN_FILENO, "/dev/null", O_RDONLY);
    if (ready && discardErrors) ready = Redirect(STDERR_FILENO, "/dev/null", O_WRONLY);
    struct sigaction defaults = {};
    defaults.sa_handler = SIG_DFL;
    sigemptyset(&defaults.sa_mask);
    for (int signal : {SIGPIPE, SIGINT, SIGQUIT}) ::sigaction(signal, &defaults, nullptr);
    if (ready && ::sigprocmask(SIG_SETMASK, &noSignals, nullptr) == 0) ::execvp(args[0], args);
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

}  // namespace

int RunProgramAndWait(const std::vector<NarrowString>& argv, bool discardErrors) {
    if (argv.empty()) return -1;
    std::vector<char*> args;
    args.reserve(argv.size() + 1);
    for (const NarrowString& arg : argv) args.push_back(const_cast<char*>(arg.Data()));
    args.push_back(nullptr);
    sigset_t noSignals;
    sigemptyset(&noSignals);

    int report[2];
    if (::pipe2(report, O_CLOEXEC) != 0) return -1;
    UniqueFileHandle reading(report[0]);
    UniqueFileHandle writing(report[1]);
    const pid_t child = ::fork();
    if (child < 0) return -1;
    if (child == 0) ExecChild(args.data(), discardErrors, noSignals, report[1]);
    writing.Reset();
    const bool failed = StartFailed(reading.Get());
    const int status = WaitForChild(child);
    return failed ? -1 : status;
}
