// Running the standard tools with an argument vector, never through a shell,
// so that no character of a path can be read as shell syntax.
#include "fs/run_program.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include "fs/interruption.h"

extern char** environ;

namespace {

// Owns the spawn attributes and file actions for one run.
class SpawnSetup {
public:
    SpawnSetup()
    {
        okActions_ = ::posix_spawn_file_actions_init(&actions_) == 0;
        okAttributes_ = ::posix_spawnattr_init(&attributes_) == 0;
    }
    ~SpawnSetup()
    {
        if (okActions_)
            ::posix_spawn_file_actions_destroy(&actions_);
        if (okAttributes_)
            ::posix_spawnattr_destroy(&attributes_);
    }
    SpawnSetup(const SpawnSetup&) = delete;
    SpawnSetup& operator=(const SpawnSetup&) = delete;

    // stdin from /dev/null so that no tool can stop to ask a question (mv
    // does when a write-protected file would be replaced on a terminal);
    // a clean signal state so that the tool behaves as from a terminal
    // (but see below for the interruption signals).
    bool Prepare(bool discardErrors, bool finishDespiteSignals)
    {
        if (!okActions_ || !okAttributes_)
            return false;
        if (::posix_spawn_file_actions_addopen(&actions_, STDIN_FILENO, "/dev/null", O_RDONLY, 0) != 0)
            return false;
        if (discardErrors &&
            ::posix_spawn_file_actions_addopen(&actions_, STDERR_FILENO, "/dev/null", O_WRONLY, 0) != 0)
            return false;
        sigset_t mask, defaults;
        sigemptyset(&mask);
        sigemptyset(&defaults);
        sigaddset(&defaults, SIGPIPE);
        sigaddset(&defaults, SIGINT);
        sigaddset(&defaults, SIGQUIT);
        // The process stops cleanly on these itself; the tool finishes its
        // one step rather than dying half-way through a move.
        if (finishDespiteSignals && InterruptionHandlersInstalled()) {
            sigaddset(&mask, SIGINT);
            sigaddset(&mask, SIGTERM);
            sigaddset(&mask, SIGHUP);
        }
        return ::posix_spawnattr_setsigmask(&attributes_, &mask) == 0 &&
               ::posix_spawnattr_setsigdefault(&attributes_, &defaults) == 0 &&
               ::posix_spawnattr_setflags(&attributes_, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF) == 0;
    }

    const posix_spawn_file_actions_t* Actions() const { return &actions_; }
    const posix_spawnattr_t* Attributes() const { return &attributes_; }

private:
    posix_spawn_file_actions_t actions_;
    posix_spawnattr_t attributes_;
    bool okActions_ = false;
    bool okAttributes_ = false;
};

}  // namespace

namespace fs_detail {

int RunTool(const std::vector<const char*>& argv, bool discardErrors)
{
    return RunProgram(argv, discardErrors, true);
}

int RunProgram(const std::vector<const char*>& argv, bool discardErrors, bool finishDespiteSignals)
{
    if (argv.empty() || argv[0] == nullptr)
        return -1;
    std::vector<char*> args;
    args.reserve(argv.size() + 1);
    for (const char* arg : argv)
        args.push_back(const_cast<char*>(arg));
    args.push_back(nullptr);

    SpawnSetup setup;
    if (!setup.Prepare(discardErrors, finishDespiteSignals))
        return -1;
    pid_t child;
    if (::posix_spawnp(&child, args[0], setup.Actions(), setup.Attributes(), args.data(), environ) != 0)
        return -1;
    int status;
    while (::waitpid(child, &status, 0) < 0) {
        if (errno != EINTR)
            return -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace fs_detail

int RunShellCommand(const std::vector<NarrowString>& argv, bool discardErrors)
{
    std::vector<const char*> args;
    args.reserve(argv.size());
    for (const NarrowString& arg : argv)
        args.push_back(arg.Data());
    // A program started for the user (a document viewer) must stay stoppable.
    return fs_detail::RunProgram(args, discardErrors, false);
}
