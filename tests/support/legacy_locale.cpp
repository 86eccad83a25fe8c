#include "support/legacy_locale.h"

#include <clocale>
#include <cstdlib>
#include <string>

namespace tpl {

namespace {

// The compiled locale lives in a temporary directory for the whole run.
class CompiledLocale {
public:
    CompiledLocale() {
        char pattern[] = "/tmp/tpl-locale-XXXXXX";
        if (mkdtemp(pattern) == nullptr) return;
        directory_ = pattern;
        const std::string command = "localedef -i ru_RU -f KOI8-R " + directory_ + "/ru_RU.KOI8-R >/dev/null 2>&1";
        ready_ = std::system(command.c_str()) == 0;
    }
    ~CompiledLocale() {
        // Best effort: a leftover in the temporary directory fails no test.
        if (!directory_.empty() && std::system(("rm -rf " + directory_).c_str()) != 0) return;
    }
    bool Select() const {
        if (!ready_) return false;
        setenv("LOCPATH", directory_.c_str(), 1);
        return std::setlocale(LC_ALL, "ru_RU.KOI8-R") != nullptr;
    }

private:
    std::string directory_;
    bool ready_ = false;
};

}  // namespace

bool SelectKoi8Locale() {
    static const CompiledLocale locale;
    return locale.Select();
}

void RestoreLocale(const std::string& name) {
    std::setlocale(LC_ALL, name.c_str());
    unsetenv("LOCPATH");
}

}  // namespace tpl
