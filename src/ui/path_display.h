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

// A page's text with each line that is a path (it starts with "/") made to
// break only after a "/": a break at a hyphen or a dot would read as a
// hyphenated word. Invisible marks (a word joiner, a zero-width space) do
// it; the other lines stay as they are.
WideString PathLinesBreakAfterSlashes(const WideString& text);

}  // namespace tpl
