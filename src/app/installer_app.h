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
    // 0 installed, 1 an error of the preparation, a failed installation or
    // no display without -S, 2 cancelled by the user or interrupted.
    int Run();

private:
    // Recovery, then the headless run or the wizard; the exit status.
    int RunFrontEnd(LaunchOptions& options, InstallLog& log);

    int argc_;
    char** argv_;
};

}  // namespace tpl
