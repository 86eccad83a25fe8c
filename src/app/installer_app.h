#pragma once

namespace tpl {

// The application object: finishes interrupted installations, reads the
// launch options, runs the wizard once (or the headless installation when
// there is no display) and tells main the exit status.

class InstallLog;
struct LaunchOptions;

class CInstallerApp {
public:
    CInstallerApp(int argc, char** argv) : argc_(argc), argv_(argv) {}
    // The exit status (session/install_outcome.h).
    int Run();

private:
    // --dry-run: the plan, without a display, changing nothing.
    int RunDryRun(LaunchOptions& options, InstallLog& log);
    // Recovery, then the headless run or the wizard; the exit status.
    int RunFrontEnd(LaunchOptions& options, InstallLog& log);

    int argc_;
    char** argv_;
};

}  // namespace tpl
