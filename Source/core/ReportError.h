// ReportError: the error box for mistakes a developer must see at once. Shows
// "ERROR: <file name>, line <n>\n" followed by the formatted message, at most 1,023 characters
// (longer text is cut), in a modal box titled "Error"; the same text always goes to standard
// error. Returns when the box is closed; it never ends the program.
//
// The box appears on the X display when one is open. CORVANE_ERROR_BOX=0 turns it off for
// unattended runs; tests install a handler that receives the text instead.
//
// Threads: any thread may report; nothing shared is touched (the handler is set before use).
#pragma once

#include <cstdarg>

namespace CorvaneEngine {

void ReportError(const char* sourceFile, int line, const char* format, ...)
    __attribute__((format(printf, 3, 4)));

// The text of a report as the box shows it (header and message, cut to 1,023 characters).
void FormatErrorReport(char (&buffer)[1024], const char* sourceFile, int line, const char* format,
                       va_list arguments);

// Receives every report's text in place of the box (tests); null restores the box.
using ErrorReportHandler = void (*)(const char* text);
void SetErrorReportHandler(ErrorReportHandler handler);

}  // namespace CorvaneEngine

// Reports with the real call site.
#define REPORT_ERROR(...) ::CorvaneEngine::ReportError(__FILE__, __LINE__, __VA_ARGS__)
