#pragma once
// The application object: finishes interrupted installations, reads the
// launch options, runs the wizard once (or the headless installation when
// there is no display) and tells main the exit status.

class CInstallerApp {
public:
    CInstallerApp(int argc, char** argv) : argc_(argc), argv_(argv) {}
    // 0 installed, 1 an error of the preparation, a failed installation or
    // no display without -S, 2 cancelled by the user or interrupted.
    int Run();

private:
    int argc_;
    char** argv_;
};
