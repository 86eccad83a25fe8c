#include "support/wide_text.h"

#include "text/convert.h"
#include "text/utf8.h"

namespace tpl {

WideString Wide(const std::string& text) {
    return ToWide(text.c_str());
}

std::string Narrow(const WideString& text) {
    const NarrowString narrow = ToNarrow(text);
    return std::string(narrow.Data(), narrow.Length());
}

void PrintTo(const WideString& text, std::ostream* out) {
    const NarrowString utf8 = ToUtf8(text);
    *out << "u\"" << std::string(utf8.Data(), utf8.Length()) << "\"";
}

}  // namespace tpl
