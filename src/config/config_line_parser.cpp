#include "config/config_line_parser.h"

namespace tpl {

void ConfigLineParser::Feed(const char16_t* units, size_t count) {
    size_t pos = 0;
    while (pos < count) {
        // Take the longest run that goes to the current key or value at once.
        size_t end = pos;
        while (end < count && units[end] != u'\n' && (inValue_ || units[end] != u'=')) ++end;
        WideString& target = inValue_ ? value_ : key_;
        target.Append(units + pos, static_cast<uint32_t>(end - pos));
        if (end == count) return;
        if (units[end] == u'\n') {
            EndLine();
        } else {
            inValue_ = true;  // the first "=" of the line
        }
        pos = end + 1;
    }
}

void ConfigLineParser::Finish() {
    EndLine();
}

void ConfigLineParser::EndLine() {
    if (!key_.Empty() || !value_.Empty()) table_->AddValue(key_, value_);
    key_ = WideString();
    value_ = WideString();
    inValue_ = false;
}

}  // namespace tpl
