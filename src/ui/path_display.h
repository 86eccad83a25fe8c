#pragma once
// Paths between the program, the file system and the toolkit: the toolkit
// shows and edits UTF-8 text whatever the locale, the program keeps a path as
// the text that names the file system's bytes.
#include "text/cow_string.h"

namespace tpl {

// The path as entry text; a character without a UTF-8 form shows as U+FFFD.
NarrowString PathForDisplay(const WideString& path);
// The path the user typed or pasted (UTF-8 from the toolkit).
WideString PathFromDisplay(const char* text);
// A path as the file system gives it (the folder chooser's answer).
WideString PathFromFileSystem(const char* bytes);

}  // namespace tpl
