#include "tkx_kit_text.h"

#include "text/convert.h"

namespace tpl {

std::string LocaleText(const WideString& text) {
    const NarrowString narrow = ToNarrow(text);
    return std::string(narrow.Data(), narrow.Length());
}

}  // namespace tpl
