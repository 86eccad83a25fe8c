#include "engine/lock_refusal.h"

#include "catalog/message_catalog.h"
#include "fs/file_types.h"
#include "text/text_helpers.h"
#include "text/utf8.h"

namespace tpl {

namespace {
WideString Text(const char* id, int32_t languageId) {
    if (languageId < 0) return MessageCatalog::GetText(id);
    const char* text = MessageCatalog::FindUtf8(languageId, id);
    return FromUtf8(text != nullptr ? text : "");
}

}  // namespace

WideString LockHolderText(const LockHolder& holder, bool lockDirectory, int32_t languageId) {
    if (lockDirectory)
        return holder.userKnown ? FormatPattern(Text("IDS_LOCK_OWNEDBY", languageId), {holder.userName}) : WideString();
    if (holder.pid == 0) return WideString();
    const WideString user = holder.userKnown ? holder.userName : WideString(u"?");
    return FormatPattern(Text("IDS_LOCK_HELDBY", languageId), {FromInteger(holder.pid, 10), user});
}

LockRefusal DescribeLockRefusal(uint32_t code, const DirectoryLock& lock, const WideString& target) {
    LockRefusal refusal;
    if (code == ERROR_LOCK_VIOLATION) {
        refusal.textId = "IDS_ERROR_TARGETBUSY";
        refusal.path = lock.BusyDirectory().Empty() ? target : lock.BusyDirectory();
    } else if (code == ERROR_ACCESS_DENIED && lock.LockDirectoryTaken()) {
        refusal.textId = "IDS_ERROR_LOCKTAKEN";
        refusal.path = lock.BusyDirectory();
    } else {
        return refusal;
    }
    refusal.reason = LockHolderText(lock.Holder(), lock.LockDirectoryTaken());
    return refusal;
}

}  // namespace tpl
