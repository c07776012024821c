// The two process-wide message sinks: the debug file collects failures, the log file progress.
#pragma once

// Formats a message and appends it to the debug file; always answers false so a failing
// operation can log and report failure in one statement.
bool DebugLog(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Formats a message and writes it to the log file.
void Log(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Opens the debug file (appended, "a+") and the log file (rewritten, "w"), each only when it
// is not open yet. A file that cannot be opened stays closed and its messages are dropped.
void OpenLogFiles(const char* debugFile, const char* logFile);

// Closes the debug file, then the log file.
void CloseLogFiles();
