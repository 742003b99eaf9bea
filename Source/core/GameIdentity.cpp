#include "core/GameIdentity.h"

#include <cctype>
#include <cstdlib>

namespace CorvaneEngine {

namespace {

GameIdentity& Stored() {
  static GameIdentity identity;
  return identity;
}

// Letters, digits, '_', '-' and '.' stay; a name must not start with a digit, '-' or '.'.
std::string XmlSafe(const std::string& name) {
  std::string safe;
  for (unsigned char c : name) {
    safe += (std::isalnum(c) || c == '_' || c == '-' || c == '.') ? static_cast<char>(c) : '_';
  }
  if (safe.empty() || std::isdigit(static_cast<unsigned char>(safe[0])) || safe[0] == '-' ||
      safe[0] == '.') {
    safe.insert(0, "_");
  }
  return safe;
}

}  // namespace

GameIdentity GameIdentity::Named(const std::string& name) {
  GameIdentity identity;
  identity.caption = name;
  identity.configRoot = XmlSafe(name);
  identity.profilePrefix = identity.configRoot;
  return identity;
}

std::string GameIdentity::UserConfigFolder(const std::string& folderName) {
  const char* config = std::getenv("XDG_CONFIG_HOME");
  if (config != nullptr && config[0] == '/') return std::string(config) + "/" + folderName;
  const char* home = std::getenv("HOME");
  if (home != nullptr && home[0] == '/') return std::string(home) + "/.config/" + folderName;
  return ".";
}

void SetGameIdentity(const GameIdentity& identity) {
  Stored() = identity;
}

const GameIdentity& CurrentGameIdentity() {
  return Stored();
}

}  // namespace CorvaneEngine
