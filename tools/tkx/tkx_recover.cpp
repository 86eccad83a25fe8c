// tkx recover: finishes installations that were interrupted (killed, crashed,
// or cut off by a power loss) for the current user.
#include <ostream>
#include <string>
#include <vector>
#include "config/template_locations.h"
#include "journal/journal_recovery.h"
#include "text/path_bytes.h"
#include "tkx_commands.h"

namespace tpl {

namespace {

const char kRecoverUsage[] =
    "usage: tkx recover [--] [DIRECTORY...]\n"
    "\n"
    "Looks in the temporary directory (TMPDIR, else /tmp), and beside and inside\n"
    "each template directory given or named in the launcher files (where a run\n"
    "keeps its backup when TMPDIR lies on another file system), for installations\n"
    "of the current user that were interrupted and that no running installer holds,\n"
    "and finishes each: an unfinished one is rolled back from its journal, so that\n"
    "its template directory is as before; of a completed one only the backup is\n"
    "removed. Unpacked kits (\"txk\" files) that killed runs left are removed too.\n"
    "Prints one line per installation and one for the unpacked kits, or\n"
    "\"nothing to recover\".\n"
    "Exits 0, or 1 when something had to be left for the user (a replaced file\n"
    "that could not be moved back, or a journal that cannot be read).\n";

}  // namespace

int RunRecover(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    for (const std::string& arg : args) {
        if (arg == "--help" || arg == "-h") {
            out << kRecoverUsage;
            return kTkxOk;
        }
    }
    std::vector<WideString> targets = KnownTemplateDirectories();
    bool optionsEnded = false;
    for (const std::string& arg : args) {
        if (!optionsEnded && arg == "--") {
            optionsEnded = true;
        } else if (!optionsEnded && !arg.empty() && arg[0] == '-') {
            err << "tkx: recover: unknown option '" << arg << "'\n" << kRecoverUsage;
            return kTkxUsage;
        } else {
            targets.push_back(PathFromBytes(arg.c_str()));
        }
    }
    const std::vector<RecoveryReport> reports = RecoverInterruptedInstallations(targets);
    const NarrowString kits = RemoveAbandonedUnpackedKits();
    if (reports.empty() && kits.Empty()) {
        out << "nothing to recover\n";
        return kTkxOk;
    }
    int status = kTkxOk;
    for (const RecoveryReport& report : reports) {
        const NarrowString line = DescribeRecovery(report);
        (RecoveryIsComplete(report) ? out : err) << std::string(line.Data(), line.Length()) << "\n";
        if (!RecoveryIsComplete(report)) status = kTkxFailed;
    }
    if (!kits.Empty()) out << std::string(kits.Data(), kits.Length()) << "\n";
    return status;
}

}  // namespace tpl
