// The two process-wide message sinks: the debug file collects failures, the log file progress.
// Every message becomes exactly one line: control characters are escaped after formatting.
// Each file takes at most LOG_MAX_FILE_BYTES a run; a file that cannot be opened or written is
// reported once on standard error and its messages are dropped.
#pragma once

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

// Bytes one run may write to each file. The line that would pass the limit is replaced by one
// last line saying so ("Log:: debug file limit reached, further messages dropped"), and the
// rest of the run writes nothing more to that file.
const size_t LOG_MAX_FILE_BYTES = 4u * 1024 * 1024;

// Different causes DebugLogOnce remembers at a time; causes past these are not logged.
const int LOG_MAX_ONCE_KEYS = 256;

// Which file a line belongs to, as the log listener is told.
enum LogFileId
{
    LOG_FILE_DEBUG = 0,
    LOG_FILE_LOG = 1
};

// Sees every line meant for either file, escaped and without its line end, also while the file
// is closed, failing or past its limit. It must not keep the pointer to line. Messages that the
// listener itself logs reach the files but not the listener again.
typedef void (*LogListener)(LogFileId file, const char* line, void* user);

// Formats a message and appends it to the debug file; always answers false so a failing
// operation can log and report failure in one statement.
bool DebugLog(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Formats a message and writes it to the log file.
void Log(const char* format, ...) __attribute__((format(printf, 1, 2)));

// DebugLog for code that runs every frame: the message is written only the first time its key
// (the cause, e.g. "Tess:: batch" plus a shader name) is seen since the last ForgetLoggedOnce.
// Always answers false. Allocation-free; a repeated key costs a hash and a short scan.
bool DebugLogOnce(const char* key, const char* format, ...) __attribute__((format(printf, 2, 3)));

// Something changed (another model, another shader script): every cause may be logged again.
// CloseLogFiles forgets them too.
void ForgetLoggedOnce();

// Installs the one listener (null removes it); user is handed back with every line.
void SetLogListener(LogListener listener, void* user);

// Changes the per-run byte limit of both files; for tests, which need not write 4 MB.
// LOG_MAX_FILE_BYTES restores the default.
void SetLogFileLimit(size_t bytes);

// Opens the debug file (appended, "a+") and the log file (rewritten, "w"), each only when it
// is not open yet. A file that cannot be opened stays closed and its messages are dropped.
void OpenLogFiles(const char* debugFile, const char* logFile);

// Closes the debug file, then the log file.
void CloseLogFiles();

// Lines a helper thread logged, kept back for the thread that owns the files and the listener.
// A thread that works beside the main one sends its lines into a capture for its whole run;
// the main thread replays them once that thread has ended, in the order they were logged.
struct sLogCapture
{
    std::vector<std::pair<LogFileId, std::string>> lines;
};

// Sends the lines this thread logs to capture from now on (null: to the files again).
void CaptureThreadLog(sLogCapture* capture);

// Writes the captured lines to their files (and the listener) and empties the capture.
void ReplayLog(sLogCapture& capture);
