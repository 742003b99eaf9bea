#include "overlay/PageConsole.h"

#include <nlohmann/json.hpp>

#include "core/OutputStream.h"
#include "overlay/HeadlessView.h"
#include "overlay/JsonFields.h"

namespace CorvaneEngine {

namespace {

using Json = nlohmann::json;
using JsonFields::Member;
using JsonFields::Text;

// One log line: control characters become spaces, and a long text is cut.
std::string OneLine(std::string text) {
  for (char& c : text)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = ' ';
  if (text.size() > PageConsole::kLongestText)
    text = text.substr(0, PageConsole::kLongestText) + "...";
  return text;
}

// A console argument as the browser's console shows it in one line.
std::string ArgumentText(const Json& argument) {
  if (Text(argument, "type") == "string") return Text(argument, "value");
  const Json& value = Member(argument, "value");
  if (!value.is_null() || argument.contains("value"))
    return value.dump(-1, ' ', false, Json::error_handler_t::replace);
  std::string text = Text(argument, "unserializableValue");
  if (text.empty()) text = Text(argument, "description");
  if (text.empty()) text = Text(argument, "type");
  return text;
}

// " (url:line)" of the first call frame, lines counted from 1.
std::string Location(const std::string& url, const Json& line) {
  if (url.empty()) return std::string();
  std::string where = " (" + url;
  if (line.is_number_integer()) where += ":" + std::to_string(line.get<int64_t>() + 1);
  return where + ")";
}

const char* Severity(const std::string& type) {
  if (type == "error" || type == "assert") return "ERROR: ";
  if (type == "warning") return "WARNING: ";
  return "";
}

bool NamesObjects(const Json& arguments) {
  if (!arguments.is_array()) return false;
  for (const Json& argument : arguments)
    if (argument.is_object() && argument.contains("objectId")) return true;
  return false;
}

}  // namespace

void PageConsole::PageCreated(HeadlessView& view) {
  view.SendCommand("Runtime.enable", "{}");
}

void PageConsole::PageEvent(HeadlessView& view, const std::string& method,
                            const nlohmann::json& params) {
  if (method == "Runtime.consoleAPICalled")
    ConsoleCalled(view, params);
  else if (method == "Runtime.exceptionThrown")
    ExceptionThrown(view, params);
}

void PageConsole::ConsoleCalled(HeadlessView& view, const nlohmann::json& params) {
  const std::string type = Text(params, "type");
  // Calls that print nothing of their own.
  if (type == "clear" || type == "endGroup" || type == "profile" || type == "profileEnd") return;
  const Json& arguments = Member(params, "args");
  std::string text;
  if (arguments.is_array()) {
    for (const Json& argument : arguments) {
      if (!text.empty()) text += ' ';
      text += ArgumentText(argument);
    }
  }
  const Json& frames = Member(Member(params, "stackTrace"), "callFrames");
  const Json& top = frames.is_array() && !frames.empty() ? frames[0] : Json();
  Log << Severity(type) << "Page console." << (type == "warning" ? "warn" : type) << ": "
      << OneLine(text) << Location(Text(top, "url"), Member(top, "lineNumber")) << std::endl;
  if (NamesObjects(arguments))
    view.SendCommand("Runtime.releaseObjectGroup", "{\"objectGroup\":\"console\"}");
}

void PageConsole::ExceptionThrown(HeadlessView& view, const nlohmann::json& params) {
  const Json& details = Member(params, "exceptionDetails");
  const Json& exception = Member(details, "exception");
  std::string text = Text(details, "text");
  std::string description = Text(exception, "description");
  // The description holds the stack after its first line; the location says where.
  description = description.substr(0, description.find('\n'));
  if (description.empty()) description = ArgumentText(exception);
  const bool rejection = text.compare(0, 21, "Uncaught (in promise)") == 0;
  if (!description.empty() && !exception.is_null()) text += " " + description;
  Log << "ERROR: Page " << (rejection ? "unhandled rejection: " : "uncaught exception: ")
      << OneLine(text) << Location(Text(details, "url"), Member(details, "lineNumber"))
      << std::endl;
  if (exception.is_object() && exception.contains("objectId"))
    view.SendCommand("Runtime.releaseObjectGroup", "{\"objectGroup\":\"console\"}");
}

}  // namespace CorvaneEngine
