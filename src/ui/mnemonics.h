#pragma once
// Mnemonics (Alt+letter) for the controls of a window, in any language:
// each control gets a letter of its own label that no other control of the
// window has, so that every key does one thing.
#include <string>
#include <vector>

namespace tpl {

struct MnemonicRequest {
    std::string label;    // as shown, UTF-8
    std::string english;  // the same control's English label, for scripts without letters to press
    bool shown = true;    // false: a key only (a "..." button), the label stays as it is
};

struct Mnemonic {
    std::string label;  // with "_" before its letter and any own "_" doubled; unchanged when not shown
    char32_t key = 0;   // the letter, lower case; 0 when none could be found
};

// For the controls of one window, in order of precedence: the first letter
// of each label that no earlier control took (case-insensitively). A label
// without such a letter (Chinese, "...") takes one of its English label's
// letters, shown in brackets before its closing ":" or ">", as Chinese
// programs write it: "继续(_N)>".
std::vector<Mnemonic> AssignMnemonics(const std::vector<MnemonicRequest>& requests);

// The catalog's labels of the wizard's window, with their mnemonics in the
// current language; id is one of IDS_WIZARD_NEXT, IDS_WIZARD_BACK,
// IDS_WIZARD_CANCEL, IDS_WIZARD_FINISH, IDS_TEMPLATE_CATALOG,
// IDS_CHOOSEDIR_TITLE (the "..." button: a key only) and
// IDS_SUCCESS_OPENDESCR.
Mnemonic WizardMnemonic(const char* id);

// The label without its mnemonic marks: what a screen reader names.
std::string WithoutMnemonic(const std::string& label);

}  // namespace tpl
