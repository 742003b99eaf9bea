// GameIdentity: what a game calls itself and where its settings live: the window caption, the
// root element of its settings file, the name prefix of the browser's profile folder and the
// folder that holds config.xml. The defaults are those of the demo, Amber Lantern Grove, with its
// settings in the working directory.
//
// A game sets its identity once, before the engine starts: in the GameIdentify hook (GameHooks.h)
// or, when it writes its own main, with SetGameIdentity before RunProgram.
//
// Threads: set on the main thread before the engine exists; read by any thread afterwards.
#pragma once

#include <string>

namespace CorvaneEngine {

struct GameIdentity {
  std::string caption = "Amber_Lantern_Grove";     // the window's title
  std::string configRoot = "Amber_Lantern_Grove";  // root element of config.xml (an XML name)
  // The browser's profile folder is <prefix>-<process id>-<random> in the temporary folder.
  std::string profilePrefix = "corvane-browser";
  // Where config.xml lives; created at start-up when missing. "." is the working directory.
  std::string configFolder = ".";

  std::string ConfigPath() const { return configFolder + "/config.xml"; }

  // One name for all three: caption as given, configRoot and profilePrefix with every character
  // that an XML name or a file name cannot hold replaced by '_'. The settings stay in ".".
  static GameIdentity Named(const std::string& name);
  // $XDG_CONFIG_HOME/<folderName>, else $HOME/.config/<folderName>, else "." (no home at all):
  // the place for the settings of a game installed in a folder it cannot write.
  static std::string UserConfigFolder(const std::string& folderName);
};

// Replaces the identity; call before RunProgram (the engine reads it while it starts).
void SetGameIdentity(const GameIdentity& identity);
const GameIdentity& CurrentGameIdentity();

}  // namespace CorvaneEngine
