// The one decision of what an entry does at its destination, as the
// installation itself carries it out.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include "kit/kit_entry_action.h"
#include "kit/kit_entry_names.h"
#include "text/path_text.h"
#include "engine_test_support.h"
#include "support/test_times.h"

namespace tpl {

class EntryActionTest : public EngineTest {
protected:
    EntryPlan Plan(const std::string& name, int64_t seconds) {
        return PlanEntry(Target(), Wide(name), FileTimeOfSeconds(seconds));
    }
    WideString Target() const { return NormalizeTargetDirectory(Wide(target_)); }
};

TEST_F(EntryActionTest, FourActionsOverAPreparedDirectory) {
    PutFile("older.cfg", "old", kOld);
    PutFile("same.cfg", "same", kNew);
    PutFile("newer.cfg", "newer", kNew + 1);
    PutDirectory("dir.cfg");
    PutFile("file", "a file where a directory is needed", kOld);
    ASSERT_EQ(mkfifo(TargetPath("fifo.cfg").c_str(), 0600), 0);
    ASSERT_EQ(mkfifo(TargetPath("old-fifo.cfg").c_str(), 0600), 0);
    const struct timespec aged[2] = {{kOld, 0}, {kOld, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, TargetPath("old-fifo.cfg").c_str(), aged, 0), 0);
    ASSERT_EQ(symlink("/dev/null", TargetPath("null.cfg").c_str()), 0);
    ASSERT_EQ(symlink("nowhere", TargetPath("dangling.cfg").c_str()), 0);
    PutDirectory("sub");
    PutFile("sub/older.cfg", "old", kOld);
    ASSERT_EQ(symlink("sub", TargetPath("linked").c_str()), 0);

    const struct {
        const char* name;
        EntryAction action;
        uint32_t code;
    } cases[] = {
        {"missing.cfg", EntryAction::Add, 0},
        {"new\\deep\\missing.cfg", EntryAction::Add, 0},
        {"new\\deep\\other.cfg", EntryAction::Add, 0},
        {"older.cfg", EntryAction::Replace, 0},
        {"sub\\older.cfg", EntryAction::Replace, 0},
        // A link on the way is not followed, as the installation never
        // follows one below the template directory: the entry is blocked.
        {"linked\\older.cfg", EntryAction::Blocked, ERROR_PATH_NOT_FOUND},
        {"dangling.cfg\\inner.cfg", EntryAction::Blocked, ERROR_PATH_NOT_FOUND},
        {"sub\\missing.cfg", EntryAction::Add, 0},
        {"same.cfg", EntryAction::Keep, 0},
        {"newer.cfg", EntryAction::Keep, 0},
        // A directory stops the installation whatever its time.
        {"dir.cfg", EntryAction::Blocked, ERROR_ALREADY_EXISTS},
        {"file\\below", EntryAction::Blocked, ERROR_PATH_NOT_FOUND},
        {"..\\outside", EntryAction::Blocked, ERROR_INVALID_DATA},
        // Decided without opening it: a FIFO would block an open for ever.
        // Neither it nor a device is a template, whatever its time.
        {"fifo.cfg", EntryAction::Blocked, ERROR_ALREADY_EXISTS},
        {"old-fifo.cfg", EntryAction::Blocked, ERROR_ALREADY_EXISTS},
        {"null.cfg", EntryAction::Blocked, ERROR_ALREADY_EXISTS},
        {"dangling.cfg", EntryAction::Replace, 0},
    };
    // The run plans the table in order with one planner, which keeps the
    // directory of the entry before: it decides as a look at each entry alone.
    EntryPlanner inOrder(Target());
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const EntryPlan plan = Plan(c.name, kNew);
        EXPECT_EQ(plan.action, c.action);
        EXPECT_EQ(plan.blockedCode, c.code);
        const EntryPlan planned = inOrder.Plan(Wide(c.name), FileTimeOfSeconds(kNew));
        EXPECT_EQ(planned.action, c.action);
        EXPECT_EQ(planned.blockedCode, c.code);
        EXPECT_EQ(planned.destination, plan.destination);
    }
    EXPECT_EQ(Narrow(Plan("older.cfg", kNew).destination), target_ + "/older.cfg");
    EXPECT_EQ(Narrow(Plan("a\\b//c", kNew).destination), target_ + "/a/b/c");
}

TEST_F(EntryActionTest, NewerDirectoryInTheWayFailsTheRunAndChangesNothing) {
    PutFile("a.cfg", "user's", kOld);
    PutDirectory("conf.d");
    PutFile("conf.d/inner", "inside", kOld);
    struct timespec times[2] = {{kNew + 100, 0}, {kNew + 100, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, TargetPath("conf.d").c_str(), times, 0), 0);
    const TreeSnapshot before = SnapshotTree(target_);

    LoadKit({Entry("a.cfg", kNew, "kit"), Entry("conf.d", kNew, "kit")});
    EXPECT_EQ(RunInstall(), ERROR_ALREADY_EXISTS);
    EXPECT_EQ(DescribeDifference(before, SnapshotTree(target_)), "");
}

}  // namespace tpl
