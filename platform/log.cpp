// Debug and log files. Each message is flushed as it is written so that a crash keeps the
// lines that explain it. Nothing here allocates after a file is open: a message is formatted,
// escaped and written through fixed buffers on the stack (only lines a helper thread captures
// are kept on the heap until they are replayed).
#include "platform/log.h"

#include "platform/escape.h"

#include <cerrno>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstring>

namespace
{
// A formatted message holds at most 511 characters; longer ones are cut there.
const int LOG_MESSAGE_SIZE = 512;
const size_t LOG_NAME_SIZE = 256;

// One of the two files, with what this run has done to it.
struct sLogSink
{
    FILE* file;
    const char* label;        // "debug" or "log", for the messages about the file itself
    const char* lineEnd;      // what follows each message
    char name[LOG_NAME_SIZE]; // escaped, for the message on standard error
    size_t written;           // bytes written since the file was opened
    bool full;                // the limit was reached and said so
    bool failureReported;     // an open or write failure was told on standard error
};

sLogSink sinks[2] = {{nullptr, "debug", " \n", "", 0, false, false},
                     {nullptr, "log", "\n", "", 0, false, false}};
size_t fileLimit = LOG_MAX_FILE_BYTES;

LogListener listener = nullptr;
void* listenerUser = nullptr;
bool inListener = false; // a listener that logs must not be called again from inside itself

// Where this thread's lines go instead of the files (see CaptureThreadLog).
thread_local sLogCapture* capture = nullptr;

uint64_t onceKeys[LOG_MAX_ONCE_KEYS];
int onceCount = 0;
bool onceFullReported = false;

// Standard error is the only place left to say that a log file fails; once per file and run.
void ReportFailure(sLogSink& sink, const char* action, int error)
{
    if (sink.failureReported)
        return;
    sink.failureReported = true;
    fprintf(stderr, "Log:: can`t %s %s file %s : %s\n", action, sink.label, sink.name, strerror(error));
    fflush(stderr);
}

void Notify(LogFileId id, const char* line)
{
    if (!listener || inListener)
        return;
    inListener = true;
    listener(id, line, listenerUser);
    inListener = false;
}

// Writes one line; a failed write leaves the file open, a later one may succeed again.
void PutLine(sLogSink& sink, const char* text)
{
    clearerr(sink.file);
    errno = 0;
    int count = fprintf(sink.file, "%s%s", text, sink.lineEnd);
    int error = errno;
    if (fflush(sink.file) != 0 && error == 0)
        error = errno;
    if (count < 0 || ferror(sink.file))
        ReportFailure(sink, "write", error ? error : EIO);
    else
        sink.written += static_cast<size_t>(count);
}

void WriteLine(LogFileId id, const char* text)
{
    sLogSink& sink = sinks[id];
    char line[EscapedSize(LOG_MESSAGE_SIZE - 1)];
    EscapeControls(line, sizeof line, text);
    if (sink.file && !sink.full)
    {
        size_t bytes = strlen(line) + strlen(sink.lineEnd);
        if (bytes <= fileLimit && sink.written <= fileLimit - bytes)
            PutLine(sink, line);
        else
        {
            // The last line of the run for this file: it may pass the limit by its own length.
            char note[80];
            snprintf(note, sizeof note, "Log:: %s file limit reached, further messages dropped", sink.label);
            sink.full = true;
            PutLine(sink, note);
            Notify(id, line);
            Notify(id, note);
            return;
        }
    }
    Notify(id, line);
}

void WriteMessage(LogFileId id, const char* format, va_list args)
{
    char text[LOG_MESSAGE_SIZE];
    vsnprintf(text, sizeof text, format, args);
    if (capture)
        capture->lines.emplace_back(id, text);
    else
        WriteLine(id, text);
}

// 64-bit FNV-1a: two different causes sharing a hash is not a practical concern.
uint64_t HashKey(const char* key)
{
    uint64_t hash = 14695981039346656037ull;
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(key); *p; ++p)
        hash = (hash ^ *p) * 1099511628211ull;
    return hash;
}

void OpenSink(sLogSink& sink, const char* name, const char* mode)
{
    if (sink.file || !name)
        return;
    EscapeControls(sink.name, sizeof sink.name, name);
    sink.written = 0;
    sink.full = false;
    sink.failureReported = false;
    errno = 0;
    sink.file = fopen(name, mode);
    if (!sink.file)
        ReportFailure(sink, "open", errno ? errno : EIO);
}

void CloseSink(sLogSink& sink)
{
    if (sink.file)
        fclose(sink.file);
    sink.file = nullptr;
}
} // namespace

bool DebugLog(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    WriteMessage(LOG_FILE_DEBUG, format, args);
    va_end(args);
    return false;
}

void Log(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    WriteMessage(LOG_FILE_LOG, format, args);
    va_end(args);
}

bool DebugLogOnce(const char* key, const char* format, ...)
{
    uint64_t hash = HashKey(key ? key : "");
    for (int i = 0; i < onceCount; ++i)
        if (onceKeys[i] == hash)
            return false;
    if (onceCount == LOG_MAX_ONCE_KEYS)
    {
        if (!onceFullReported)
            DebugLog("Log:: more than %d different repeated messages, new ones dropped", LOG_MAX_ONCE_KEYS);
        onceFullReported = true;
        return false;
    }
    onceKeys[onceCount++] = hash;
    va_list args;
    va_start(args, format);
    WriteMessage(LOG_FILE_DEBUG, format, args);
    va_end(args);
    return false;
}

void ForgetLoggedOnce()
{
    onceCount = 0;
    onceFullReported = false;
}

void SetLogListener(LogListener newListener, void* user)
{
    listener = newListener;
    listenerUser = user;
}

void SetLogFileLimit(size_t bytes) { fileLimit = bytes; }

void OpenLogFiles(const char* debugName, const char* logName)
{
    OpenSink(sinks[LOG_FILE_DEBUG], debugName, "a+");
    OpenSink(sinks[LOG_FILE_LOG], logName, "w");
}

void CloseLogFiles()
{
    CloseSink(sinks[LOG_FILE_DEBUG]);
    CloseSink(sinks[LOG_FILE_LOG]);
    ForgetLoggedOnce();
}

void CaptureThreadLog(sLogCapture* into) { capture = into; }

void ReplayLog(sLogCapture& from)
{
    for (const auto& line : from.lines)
        WriteLine(line.first, line.second.c_str());
    from.lines.clear();
}
