#pragma once
// What both headless runs print: lines on a stream, the one-line errors of
// a preparation and an installation, and text for JSON documents.
#include <cstdio>
#include <string>
#include <nlohmann/json.hpp>
#include <vector>
#include "config/template_locations.h"
#include "journal/journal_recovery.h"
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

// An error for a JSON document: its stable code, where, what (English),
// why; an empty path or reason is null.
nlohmann::ordered_json ErrorJson(const char* code, const WideString& path, const char* textId,
                                 const NarrowString& reason);

// The stable error code of a catalog text that names a failure
// ("kit-missing" for IDS_ERROR_NOSOURCE, ...).
const char* ErrorCodeOfText(const char* textId);

// The one document --json prints (docs/json-schema.md), every key present:
// null, false or empty until the run fills it in.
nlohmann::ordered_json NewRunDocument(bool dryRun);

// Fills in launcherFile and launcherFiles; changed becomes true when one was
// created or updated (or, in a dry run, would be).
void SetLauncherFiles(nlohmann::ordered_json& document, const std::vector<LauncherFileRecording>& files);

// The interrupted installations this start finished before it began;
// changed becomes true when there is one.
void SetRecovered(nlohmann::ordered_json& document, const std::vector<RecoveryReport>& reports);

// Prints the document on output with its exit status.
void PrintRunDocument(nlohmann::ordered_json& document, int exitStatus, std::FILE* output);

// The kit's signature in a run's or a dry run's document: "signature" with
// the key id and the trusted comment once verified; the key id of a refused
// signature in its "error".
void AddSignatureJson(const KitSignatureCheck& signature, nlohmann::ordered_json* document);

// A name or text as UTF-8, for JSON.
std::string JsonString(const WideString& text);

}  // namespace tpl
