#pragma once

namespace tpl {

// The body of the --help text in the few languages it is written in (UTF-8).
// The catalog's fixed texts have no words for it; other languages get the
// English body under their own heading.

// Null when there is no body in that language.
const char* FindUsageBody(const char* languageCode);

}  // namespace tpl
