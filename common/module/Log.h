// The module log: one text file per module, every line also copied into the
// host's debug string.
#pragma once

#include <cstdio>

#include "Platform.h"

// The module's log stream; null until InitModule opens it, and for good if
// that failed.
extern FILE* logFile;

// Opens the log file afresh (mode "w"); logging stays off when it fails.
void OpenLog(const char* fileName);
void CloseLog();

// One line: time stamp, thread, source base name and line, text.
void Log(const char* sourceFile, int sourceLine, const char* text);

// Formats the text with a bound of 254 characters, then logs it.
void LogFormat(const char* sourceFile, int sourceLine, const char* format, ...) HELM_PRINTF(3, 4);

#define LOG(...) LogFormat(__FILE__, __LINE__, __VA_ARGS__)
