#include "core/ReportError.h"

#include <atomic>
#include <cstdio>
#include <cstring>

#include "core/ErrorBox.h"
#include "core/RepeatedReports.h"
#include "objects/SharedString.h"

namespace CorvaneEngine {

namespace {
std::atomic<ErrorReportHandler> handler{nullptr};
}

void SetErrorReportHandler(ErrorReportHandler newHandler) { handler.store(newHandler); }

void FormatErrorReport(char (&buffer)[1024], const char* sourceFile, int line, const char* format,
                       va_list arguments) {
  SharedString path(sourceFile);
  path.Replace('\\', '/');
  SharedString fileName = path.Tail(path.FindLast('/') + 1);
  int written = std::snprintf(buffer, sizeof buffer, "ERROR: %s, line %d\n", fileName.CStr(), line);
  size_t used = written < 0 ? 0 : static_cast<size_t>(written);
  if (used >= sizeof buffer) return;  // the header alone filled the buffer; it is cut there
  if (format) std::vsnprintf(buffer + used, sizeof buffer - used, format, arguments);
}

void ReportError(const char* sourceFile, int line, const char* format, ...) {
  char text[1024];
  va_list arguments;
  va_start(arguments, format);
  FormatErrorReport(text, sourceFile ? sourceFile : "", line, format, arguments);
  va_end(arguments);

  // The same report every frame would bring the box back at once after every OK.
  if (!RepeatedReports::Admit(text)) return;
  std::fprintf(stderr, "%s\n", text);
  std::fflush(stderr);
  if (ErrorReportHandler current = handler.load()) {
    current(text);
    return;
  }
  ShowErrorBox("Error", text);
}

}  // namespace CorvaneEngine
