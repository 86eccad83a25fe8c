#include "support/wide_string_print.h"

#include "text/utf8.h"

void PrintTo(const WideString& text, std::ostream* out) {
    const NarrowString utf8 = ToUtf8(text);
    *out << "u\"" << std::string(utf8.Data(), utf8.Length()) << "\"";
}
