// Entry point of the installer.
#include <clocale>
#include <cstdio>
#include <string>

#include "app/installer_app.h"
#include "app/interface_language.h"
#include "app/launch_options.h"
#include "app/usage_text.h"
#include "text/convert.h"

namespace tpl {
namespace {

// --help and --version need neither a display nor the file system; the
// language of the usage comes from -L or the locale as for the wizard, or is
// English when the terminal cannot show that language.
int PrintInformation(InformationRequest request, int argc, char** argv) {
    std::string text;
    if (request == InformationRequest::Version) {
        text = VersionText();
    } else {
        ParseLaunchOptions(argc, argv, setlocale(LC_ALL, nullptr));
        ChooseTerminalLanguage();
        text = UsageText();
    }
    std::fputs(text.c_str(), stdout);
    return std::fflush(stdout) == 0 ? 0 : 1;
}

}  // namespace
}  // namespace tpl

int main(int argc, char** argv) {
    // The one setlocale of the process, before any thread exists.
    tpl::InitProcessLocale();
    const tpl::InformationRequest request = tpl::FindInformationRequest(argc, argv);
    if (request != tpl::InformationRequest::None) return tpl::PrintInformation(request, argc, argv);
    tpl::CInstallerApp app(argc, argv);
    return app.Run();
}
