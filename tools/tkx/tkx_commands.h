#pragma once
// The tkx commands, callable with their output streams so that tests can run
// them in-process. Each returns the process exit status: 0 success, 1 a
// damaged kit or a failed command, 2 a usage error.
#include <iosfwd>
#include <string>
#include <vector>

namespace tpl {

constexpr int kTkxOk = 0;
constexpr int kTkxFailed = 1;
constexpr int kTkxUsage = 2;

// args excludes the program name: {"pack", "-o", "k.tkx", "dir"}.
int RunTkx(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

int RunPack(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
int RunList(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
int RunVerify(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
int RunRecover(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

int RunDiff(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

struct CommandSyntax {
    const char* command;      // "list"
    const char* usage;        // printed for --help and after a usage error
    const char* operandText;  // "one kit file", for the usage error
    size_t operandCount;
    bool allowsJson;
    bool allowsTrustedKeys = false;  // --trusted-key=FILE, any number of times
};

struct CommandArguments {
    std::vector<std::string> operands;
    bool json = false;
    std::vector<std::string> trustedKeys;
};

// Splits a command's arguments into its operands and --json (anywhere, when
// allowed). Returns kTkxOk, kTkxUsage after printing the error, or -1 after
// printing the usage for --help.
int ParseCommandArguments(const std::vector<std::string>& args, const CommandSyntax& syntax, CommandArguments* parsed,
                          std::ostream& out, std::ostream& err);

// Text for a load result in verify's and list's messages.
std::string DescribeKitError(unsigned code);
// "tkx: COMMAND: FILE: what failed: the system's reason", for a kit that
// did not load with code (the thread's last file error still that load's).
std::string KitLoadFailureLine(const char* command, const std::string& file, unsigned code);

}  // namespace tpl
