#pragma once
// What both headless runs print: lines on a stream, the one-line errors of
// a preparation and an installation, and text for JSON documents.
#include <cstdio>
#include <string>
#include <nlohmann/json.hpp>
#include "text/cow_string.h"

namespace tpl {

struct PreparationResult;

void PrintLine(std::FILE* out, const std::string& text);
void PrintLine(std::FILE* out, const NarrowString& text);

// "tplsetup: /x/qbx4.tkx: Distribution kit file qbx4.tkx not found: No such
// file or directory", laid out for a terminal of width columns (0: one line).
std::string PreparationErrorLine(const PreparationResult& result, size_t width = 0);

// Lines for a terminal of width columns, 0 for a pipe or a file.
size_t ConsoleWidth(bool terminal);

// The error of a preparation, for a JSON document.
nlohmann::ordered_json PreparationErrorJson(const PreparationResult& result);

// An error for a JSON document: where, what (English, for scripts), why.
nlohmann::ordered_json ErrorJson(const WideString& path, const char* textId, const NarrowString& reason);

// A name or text as UTF-8, for JSON.
std::string JsonString(const WideString& text);

}  // namespace tpl
