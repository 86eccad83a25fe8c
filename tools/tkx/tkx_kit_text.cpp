#include "tkx_kit_text.h"

#include "text/convert.h"
#include "text/text_helpers.h"

namespace tpl {

std::string LocaleText(const WideString& text) {
    // A kit's names and texts are the kit maker's: control characters in
    // them must not reach the terminal as such.
    const NarrowString narrow = ToNarrow(text);
    return EscapeControlCharacters(std::string(narrow.Data(), narrow.Length()));
}

}  // namespace tpl
