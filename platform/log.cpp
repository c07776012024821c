// Debug and log files. Each message is flushed as it is written so that a crash keeps the
// lines that explain it.
#include "platform/log.h"

#include <cstdarg>
#include <cstdio>

namespace
{
FILE* debugFile = nullptr;
FILE* logFile = nullptr;

// A formatted message holds at most 511 characters; longer ones are cut there.
const int LOG_MESSAGE_SIZE = 512;

void WriteMessage(FILE* file, const char* lineFormat, const char* format, va_list args)
{
    if (!file)
        return;
    char text[LOG_MESSAGE_SIZE];
    vsnprintf(text, sizeof text, format, args);
    fprintf(file, lineFormat, text);
    fflush(file);
}
} // namespace

bool DebugLog(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    WriteMessage(debugFile, "%s \n", format, args);
    va_end(args);
    return false;
}

void Log(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    WriteMessage(logFile, "%s\n", format, args);
    va_end(args);
}

void OpenLogFiles(const char* debugName, const char* logName)
{
    if (!debugFile && debugName)
        debugFile = fopen(debugName, "a+");
    if (!logFile && logName)
        logFile = fopen(logName, "w");
}

void CloseLogFiles()
{
    if (debugFile)
        fclose(debugFile);
    debugFile = nullptr;
    if (logFile)
        fclose(logFile);
    logFile = nullptr;
}
