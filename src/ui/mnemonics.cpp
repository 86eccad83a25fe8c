#include "ui/mnemonics.h"

#include <glib.h>

#include <cstring>
#include <set>

#include "catalog/message_catalog.h"

namespace tpl {

namespace {

// A letter a keyboard types with Alt: no Chinese or Japanese character,
// which is typed through an input method.
bool Pressable(gunichar c) {
    return g_unichar_isalpha(c) && !g_unichar_iswide(c);
}

// Byte offset of the first pressable letter of utf8 not in taken; npos when none.
size_t FreeLetter(const std::string& utf8, const std::set<gunichar>& taken, gunichar* key) {
    for (const char* p = utf8.c_str(); *p != '\0'; p = g_utf8_next_char(p)) {
        const gunichar c = g_utf8_get_char(p);
        if (!Pressable(c)) continue;
        const gunichar lower = g_unichar_tolower(c);
        if (taken.count(lower) != 0) continue;
        *key = lower;
        return static_cast<size_t>(p - utf8.c_str());
    }
    return std::string::npos;
}

std::string Escaped(const std::string& text) {
    std::string escaped;
    for (char c : text) {
        if (c == '_') escaped += '_';
        escaped += c;
    }
    return escaped;
}

// Where "(X)" goes: before the closing marks of the label.
size_t BeforeClosingMarks(const std::string& label) {
    size_t end = label.size();
    for (bool found = true; found && end > 0;) {
        found = false;
        for (const char* mark : {" ", ">", ":", "\uFF1A", "\u2026", "."}) {
            const size_t length = std::strlen(mark);
            if (end >= length && label.compare(end - length, length, mark) == 0) {
                end -= length;
                found = true;
            }
        }
    }
    return end;
}

}  // namespace

std::vector<Mnemonic> AssignMnemonics(const std::vector<MnemonicRequest>& requests) {
    std::set<gunichar> taken;
    std::vector<Mnemonic> mnemonics;
    for (const MnemonicRequest& request : requests) {
        Mnemonic mnemonic;
        mnemonic.label = request.shown ? Escaped(request.label) : request.label;
        gunichar key = 0;
        const size_t own = FreeLetter(request.label, taken, &key);
        if (own != std::string::npos) {
            if (request.shown) mnemonic.label = Escaped(request.label.substr(0, own)) + "_" + Escaped(request.label.substr(own));
        } else {
            const size_t english = FreeLetter(request.english, taken, &key);
            if (english != std::string::npos && request.shown) {
                const size_t at = BeforeClosingMarks(request.label);
                char letter[8] = {};
                g_unichar_to_utf8(g_unichar_toupper(key), letter);
                mnemonic.label = Escaped(request.label.substr(0, at)) + "(_" + letter + ")" +
                                 Escaped(request.label.substr(at));
            }
        }
        if (key != 0) {
            taken.insert(key);
            mnemonic.key = key;
        }
        mnemonics.push_back(mnemonic);
    }
    return mnemonics;
}

Mnemonic WizardMnemonic(const char* id) {
    // In order of precedence: the buttons every page has first.
    static const char* const kIds[] = {"IDS_WIZARD_NEXT",      "IDS_WIZARD_BACK",     "IDS_WIZARD_CANCEL",
                                       "IDS_WIZARD_FINISH",    "IDS_TEMPLATE_CATALOG", "IDS_CHOOSEDIR_TITLE",
                                       "IDS_SUCCESS_OPENDESCR"};
    std::vector<MnemonicRequest> requests;
    size_t wanted = 0;
    for (size_t i = 0; i < sizeof kIds / sizeof kIds[0]; ++i) {
        const char* english = MessageCatalog::FindUtf8(kEnglishLanguageId, kIds[i]);
        requests.push_back({MessageCatalog::GetUtf8(kIds[i]), english != nullptr ? english : "",
                            std::strcmp(kIds[i], "IDS_CHOOSEDIR_TITLE") != 0});
        if (std::strcmp(kIds[i], id) == 0) wanted = i;
    }
    return AssignMnemonics(requests)[wanted];
}

std::string WithoutMnemonic(const std::string& label) {
    std::string plain;
    for (size_t i = 0; i < label.size(); ++i) {
        if (label[i] == '_' && i + 1 < label.size()) ++i;
        plain += label[i];
    }
    return plain;
}

}  // namespace tpl
