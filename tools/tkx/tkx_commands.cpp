#include "tkx_commands.h"

#include <ostream>
#include "fs/file_types.h"
#include "fs/last_error.h"
#include "text/text_helpers.h"

namespace tpl {

#ifndef TPL_VERSION
#error "TPL_VERSION is set by the build from the project version"
#endif

namespace {

const char kTrustedKeyOption[] = "--trusted-key=";

const char kUsage[] =
    "usage: tkx COMMAND [ARGS]\n"
    "\n"
    "  pack -o FILE [-l N] [--lang CODE --product TEXT --vendor TEXT --description PATH]... DIR\n"
    "                 pack the tree DIR into the kit FILE\n"
    "  list [--json] FILE\n"
    "                 print the kit's language texts and entries\n"
    "  verify [--trusted-key=KEY]... FILE\n"
    "                 load the kit and check its signature as the installer does;\n"
    "                 exit 0 or 1 with the reason\n"
    "  diff [--json] FILE DIR\n"
    "                 show what installing the kit into DIR would do, changing\n"
    "                 nothing; exit 1 when the installation would fail\n"
    "  recover        finish this user's interrupted installations (rollback from\n"
    "                 their journals) and print what was restored\n"
    "\n"
    "  --version      print the version\n"
    "\n"
    "Each command accepts --help, and \"--\" before names that begin with \"-\".\n"
    "Exit status: 0 success, 1 failure, 2 usage error.\n";

}  // namespace

std::string DescribeKitError(unsigned code) {
    switch (code) {
        case ERROR_FILE_NOT_FOUND:
            return "kit file not found";
        case ERROR_INVALID_DATA:
            return "kit is damaged, not a kit, or names files that cannot be installed here";
        case ERROR_INVALID_PARAMETER:
            return "kit or temporary file cannot be read or written";
        case ERROR_CANTWRITE:
            return "cannot create the temporary file";
        case ERROR_DISK_FULL:
            return "no room left to unpack the kit";
        case 8:
            return "not enough memory";
        default:
            return "cannot load the kit";
    }
}

std::string KitLoadFailureLine(const char* command, const std::string& file, unsigned code) {
    std::string line = std::string("tkx: ") + command + ": " + EscapeControlCharacters(file) + ": " + DescribeKitError(code);
    // A damaged kit says all there is to say; a system's failure says why.
    const int systemErrno = code == ERROR_INVALID_DATA ? 0 : GetLastFileErrno();
    if (systemErrno != 0) line += std::string(": ") + SystemErrorText(systemErrno).Data();
    return line + "\n";
}

int ParseCommandArguments(const std::vector<std::string>& args, const CommandSyntax& syntax, CommandArguments* parsed,
                          std::ostream& out, std::ostream& err) {
    for (const std::string& arg : args) {
        if (arg == "--") break;
        if (arg == "--help" || arg == "-h") {
            out << syntax.usage;
            return -1;
        }
    }
    bool unknownOption = false;
    bool optionsEnded = false;  // after "--", a name that begins with "-" is an operand
    for (const std::string& arg : args) {
        if (optionsEnded) {
            parsed->operands.push_back(arg);
        } else if (arg == "--") {
            optionsEnded = true;
        } else if (syntax.allowsJson && arg == "--json") {
            parsed->json = true;
        } else if (syntax.allowsTrustedKeys && arg.rfind(kTrustedKeyOption, 0) == 0 &&
                   arg.size() > sizeof kTrustedKeyOption - 1) {
            parsed->trustedKeys.push_back(arg.substr(sizeof kTrustedKeyOption - 1));
        } else if (!arg.empty() && arg[0] == '-') {
            unknownOption = true;
        } else {
            parsed->operands.push_back(arg);
        }
    }
    if (unknownOption || parsed->operands.size() != syntax.operandCount) {
        err << "tkx: " << syntax.command << ": expected " << syntax.operandText << "\n" << syntax.usage;
        return kTkxUsage;
    }
    return kTkxOk;
}

int RunTkx(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    if (args.empty()) {
        err << kUsage;
        return kTkxUsage;
    }
    const std::string& command = args[0];
    const std::vector<std::string> rest(args.begin() + 1, args.end());
    if (command == "--help" || command == "-h" || command == "help") {
        out << kUsage;
        return kTkxOk;
    }
    if (command == "--version") {
        out << "tkx " << TPL_VERSION << "\n";
        return kTkxOk;
    }
    if (command == "pack") return RunPack(rest, out, err);
    if (command == "list") return RunList(rest, out, err);
    if (command == "verify") return RunVerify(rest, out, err);
    if (command == "diff") return RunDiff(rest, out, err);
    if (command == "recover") return RunRecover(rest, out, err);
    err << "tkx: unknown command '" << command << "'\n" << kUsage;
    return kTkxUsage;
}

}  // namespace tpl
