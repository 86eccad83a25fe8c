#include "session/system_texts.h"

#include <cerrno>
#include <cstring>

#include "catalog/message_catalog.h"
#include "fs/last_error.h"
#include "fs/system_language.h"

namespace tpl {

const char* SystemLanguageName(int32_t languageId) {
    const CatalogLanguage* language = MessageCatalog::Language(languageId);
    const CatalogLanguage* english = MessageCatalog::Language(kEnglishLanguageId);
    if (language == nullptr || english == nullptr || language->texts == english->texts) return "en";
    // The system's catalogs name Chinese by its script's region.
    if (std::strcmp(language->code, "zh") == 0) return "zh_CN";
    return language->code;
}

void FollowCatalogLanguageInSystemTexts() {
    SelectSystemLanguage(SystemLanguageName(MessageCatalog::CurrentLanguage()));
}

namespace {

const char* ReasonTextId(int err) {
    switch (err) {
        case ENOSPC: return "IDS_REASON_NOSPACE";
        case EACCES: return "IDS_REASON_ACCESS";
        case EROFS: return "IDS_REASON_READONLY";
        case EEXIST: return "IDS_REASON_EXISTS";
        case ENOTDIR: return "IDS_REASON_NOTDIR";
        case EISDIR: return "IDS_REASON_ISDIR";
        case ENOENT: return "IDS_REASON_NOENT";
        case EDQUOT: return "IDS_REASON_QUOTA";
        case EIO: return "IDS_REASON_IO";
        case ENAMETOOLONG: return "IDS_REASON_NAMETOOLONG";
        default: return nullptr;
    }
}

}  // namespace

NarrowString ReasonTextIn(int32_t languageId, int err) {
    if (err == 0) return NarrowString();
    const char* id = ReasonTextId(err);
    const char* own = id != nullptr ? MessageCatalog::FindUtf8(languageId, id) : nullptr;
    if (own != nullptr) return NarrowString(own);
    return SystemErrorText(err);
}

NarrowString ReasonText(int err) {
    return ReasonTextIn(MessageCatalog::CurrentLanguage(), err);
}

}  // namespace tpl
