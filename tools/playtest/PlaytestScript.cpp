#include "PlaytestScript.h"

#include <cstdlib>
#include <sstream>

namespace CorvanePlaytest {

namespace {

std::string Trim(const std::string& text) {
  size_t begin = text.find_first_not_of(" \t\r");
  if (begin == std::string::npos) return "";
  return text.substr(begin, text.find_last_not_of(" \t\r") - begin + 1);
}

// Splits off a trailing "within <seconds>".
bool TakeWithin(std::string& rest, double& seconds) {
  size_t at = rest.rfind(" within ");
  if (at == std::string::npos) return true;
  char* end = nullptr;
  std::string number = Trim(rest.substr(at + 8));
  seconds = std::strtod(number.c_str(), &end);
  rest = Trim(rest.substr(0, at));
  return !number.empty() && *end == '\0' && seconds > 0;
}

bool ParsePoint(const std::string& text, int& x, int& y) {
  return std::sscanf(text.c_str(), "%d,%d", &x, &y) == 2 && x >= 0 && y >= 0;
}

bool ParseCondition(const std::string& text, Condition& condition, std::string& error) {
  std::istringstream words(text);
  std::string kind, rest;
  words >> kind;
  std::getline(words, rest);
  rest = Trim(rest);
  if (kind == "window") {
    condition.kind = Condition::Kind::Window;
    condition.text = rest;
  } else if (kind == "pixel") {
    condition.kind = Condition::Kind::Pixel;
    std::istringstream parts(rest);
    std::string point;
    parts >> point >> condition.colour;
    bool colourOk = condition.colour == "red" || condition.colour == "green" ||
                    condition.colour == "blue" ||
                    (condition.colour.size() == 7 && condition.colour[0] == '#');
    if (!ParsePoint(point, condition.x, condition.y) || !colourOk) {
      error = "a pixel condition is \"pixel <x>,<y> red|green|blue|#rrggbb\"";
      return false;
    }
  } else if (kind == "stderr" && !rest.empty()) {
    condition.kind = Condition::Kind::Stderr;
    condition.text = rest;
  } else if (kind == "sound" && rest.empty()) {
    condition.kind = Condition::Kind::Sound;
  } else if (kind == "file" && !rest.empty()) {
    condition.kind = Condition::Kind::File;
    size_t at = rest.find(" contains ");
    condition.text = at == std::string::npos ? rest : rest.substr(0, at);
    if (at != std::string::npos) condition.contains = Trim(rest.substr(at + 10));
  } else {
    error = "unknown condition \"" + text + "\" (window, pixel, stderr, sound or file)";
    return false;
  }
  return true;
}

bool ParseStep(const std::string& line, Step& step, std::string& error) {
  std::istringstream words(line);
  std::string verb, rest;
  words >> verb;
  std::getline(words, rest);
  rest = Trim(rest);
  if (verb == "until" || verb == "hold") {
    step.kind = verb == "until" ? Step::Kind::Until : Step::Kind::Hold;
    if (!TakeWithin(rest, step.seconds)) {
      error = "\"within\" needs a number of seconds";
      return false;
    }
    if (step.kind == Step::Kind::Hold) {
      size_t at = rest.find(" until ");
      if (at == std::string::npos) {
        error = "hold is \"hold <key> until <condition>\"";
        return false;
      }
      step.argument = Trim(rest.substr(0, at));
      rest = Trim(rest.substr(at + 7));
    }
    return ParseCondition(rest, step.condition, error);
  }
  if (verb == "exit") {
    step.kind = Step::Kind::Exit;
    char* end = nullptr;
    if (!TakeWithin(rest, step.seconds)) {
      error = "\"within\" needs a number of seconds";
      return false;
    }
    step.exitCode = static_cast<int>(std::strtol(rest.c_str(), &end, 10));
    if (rest.empty() || *end != '\0') {
      error = "exit is \"exit <code> [within <seconds>]\"";
      return false;
    }
    return true;
  }
  if (verb == "click") {
    step.kind = Step::Kind::Click;
    if (!ParsePoint(rest, step.x, step.y)) {
      error = "click is \"click <x>,<y>\"";
      return false;
    }
    return true;
  }
  static const struct {
    const char* verb;
    Step::Kind kind;
  } kSimple[] = {{"keydown", Step::Kind::KeyDown},       {"keyup", Step::Kind::KeyUp},
                 {"press", Step::Kind::Press},           {"type", Step::Kind::Type},
                 {"screenshot", Step::Kind::Screenshot}, {"signal", Step::Kind::Signal}};
  for (const auto& simple : kSimple) {
    if (verb != simple.verb) continue;
    step.kind = simple.kind;
    step.argument = rest;
    if (rest.empty()) {
      error = verb + " needs an argument";
      return false;
    }
    if (step.kind == Step::Kind::Signal && rest != "TERM" && rest != "INT" && rest != "KILL") {
      error = "signal is TERM, INT or KILL";
      return false;
    }
    return true;
  }
  error = "unknown step \"" + verb + "\"";
  return false;
}

}  // namespace

bool PlaytestScript::Parse(const std::string& text, std::string& error) {
  std::istringstream lines(text);
  std::string line;
  for (int number = 1; std::getline(lines, line); ++number) {
    line = Trim(line);
    if (line.empty() || line[0] == '#') continue;
    if (line.compare(0, 14, "expect-stderr ") == 0) {
      expectedStderr.push_back(Trim(line.substr(14)));
      continue;
    }
    Step step;
    step.line = number;
    step.source = line;
    if (!ParseStep(line, step, error)) {
      error = std::to_string(number) + ": " + error;
      return false;
    }
    steps.push_back(step);
  }
  return true;
}

}  // namespace CorvanePlaytest
