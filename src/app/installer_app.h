#pragma once
// The application object: reads the launch options, runs the wizard once and
// tells main the exit status.

class CInstallerApp {
public:
    CInstallerApp(int argc, char** argv) : argc_(argc), argv_(argv) {}
    // 0 installed, 1 an error box of the preparation or a failed
    // installation, 2 cancelled by the user.
    int Run();

private:
    int argc_;
    char** argv_;
};
