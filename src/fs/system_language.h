#pragma once
// The language of the system's own texts: its reasons for a failure and the
// toolkit's stock texts, folder chooser and text direction, which all come
// from the system's message catalogs.

// Makes them follow the language the message catalogs know as name ("bg",
// "zh_CN"; "en" for English), in English where a catalog lacks that language
// or a text, never in the locale's own language. Sets LANGUAGE, moves the
// messages category off "C" (under which the catalogs ignore LANGUAGE) and
// makes the catalogs forget the texts they have already looked up. Only
// while no other thread runs; the toolkit must not set the locale again
// afterwards.
void SelectSystemLanguage(const char* name);
