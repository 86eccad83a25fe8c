#pragma once
// One language for a run on a terminal.

namespace tpl {

// For a run on a terminal (the headless installation, --help): the catalog's
// current language when the locale's encoding can show every text of it, its
// usage included, else English for the whole run; the system's reasons follow.
void ChooseTerminalLanguage();

}  // namespace tpl
