#pragma once
// What both headless runs print: lines on a stream, the one-line errors of
// a preparation and an installation, and text for JSON documents.
#include <cstdio>
#include <string>
#include <nlohmann/json.hpp>
#include "text/cow_string.h"

namespace tpl {

struct PreparationResult;
struct KitSignatureCheck;

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

// The kit's signature in a run's or a dry run's document: "signature" with
// the key id and the trusted comment once verified; the key id of a refused
// signature in its "error".
void AddSignatureJson(const KitSignatureCheck& signature, nlohmann::ordered_json* document);

// A name or text as UTF-8, for JSON.
std::string JsonString(const WideString& text);

}  // namespace tpl
