// ConfigData: the program's settings as text values by section and key, read from
// "./config.xml" at construction and written back by Save. Systems declare their keys with
// defaults (a value from the file wins), read typed values with Get and store changes with Set.
// Lookups of a missing section or key write one line to standard error, and so do a number that
// does not fit its type and a file that does not parse (which is kept beside it as a copy).
//
// Threads: main thread only.
#pragma once

#include <vector>

#include "objects/SharedString.h"
#include "objects/StringHashMap.h"

namespace CorvaneEngine {

class XMLReader;

class ConfigData {
 public:
  explicit ConfigData(const char* path = "./config.xml");
  ~ConfigData();
  ConfigData(const ConfigData&) = delete;
  ConfigData& operator=(const ConfigData&) = delete;

  void SetDefault(const char* section, const char* key, bool value);
  void SetDefault(const char* section, const char* key, int value);
  void SetDefault(const char* section, const char* key, float value);
  void SetDefault(const char* section, const char* key, double value) {
    SetDefault(section, key, static_cast<float>(value));
  }

  // The converted value, or the fallback (false, -1, -1.0) with a line on standard error.
  template <typename T>
  T Get(const char* section, const char* key);

  // Replaces the text of an existing entry; never creates one.
  void Set(const char* section, const char* key, bool value);
  void Set(const char* section, const char* key, int value);
  void Set(const char* section, const char* key, float value);

  void Save();

  const char* FileName() const { return fileName; }

  static ConfigData* instance;

 private:
  struct Entry {
    SharedString key;
    SharedString value;
  };
  struct Section {
    std::vector<Entry*> entries;
    SharedString name;
    ~Section();
    Entry* Find(const char* key);
  };

  void Load();
  void KeepDamagedCopy(const XMLReader& reader);
  void ReportOutOfRange(const char* section, const char* key, const char* type, const char* used);
  // The entry that was there already, or null when a new one was appended with `text`.
  Entry* SetDefaultText(const char* section, const char* key, const char* text);
  // The entry's text, or null after the standard-error line.
  SharedString* Lookup(const char* section, const char* key);
  void SetText(const char* section, const char* key, const char* text);

  char fileName[260];
  SharedString rootName;
  StringHashMap sections;
};

template <>
bool ConfigData::Get<bool>(const char* section, const char* key);
template <>
int ConfigData::Get<int>(const char* section, const char* key);
template <>
float ConfigData::Get<float>(const char* section, const char* key);

}  // namespace CorvaneEngine
