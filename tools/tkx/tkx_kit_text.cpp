#include "tkx_kit_text.h"

#include <ctime>
#include "text/convert.h"
#include "text/utf8.h"

namespace tpl {

std::string LocaleText(const WideString& text) {
    const NarrowString narrow = ToNarrow(text);
    return std::string(narrow.Data(), narrow.Length());
}

std::string IsoTime(FILETIME time) {
    const int64_t seconds = static_cast<int64_t>(time / 10000000ull) - 11644473600ll;
    const std::time_t t = static_cast<std::time_t>(seconds);
    std::tm parts{};
    char text[64] = "?";
    if (gmtime_r(&t, &parts) != nullptr) std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &parts);
    return text;
}

namespace {
std::string Utf8(const WideString& text) {
    const NarrowString utf8 = ToUtf8(text);
    return std::string(utf8.Data(), utf8.Length());
}
}  // namespace

nlohmann::ordered_json LanguagesJson(const KitReader& reader) {
    nlohmann::ordered_json languages = nlohmann::ordered_json::array();
    for (const KitLanguageEntry& language : reader.GetLanguageEntries()) {
        languages.push_back({{"code", Utf8(language.code)},
                             {"product", Utf8(language.product)},
                             {"vendor", Utf8(language.vendor)},
                             {"description", Utf8(language.descriptionPath)}});
    }
    return languages;
}

nlohmann::ordered_json EntryJson(const KitFileEntry& entry) {
    return {{"name", Utf8(entry.name)}, {"size", entry.dataSize}, {"writeTime", IsoTime(entry.writeTime)}};
}

std::string JsonText(const nlohmann::ordered_json& document) {
    return document.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) + "\n";
}

}  // namespace tpl
