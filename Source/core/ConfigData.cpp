#include "core/ConfigData.h"

#include <sys/stat.h>

#include <cerrno>
#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <string>

#include "core/AtomicFile.h"
#include "core/GameIdentity.h"
#include "objects/XMLReader.h"
#include "objects/XMLWriter.h"

namespace CorvaneEngine {

ConfigData* ConfigData::instance = nullptr;

namespace {
const char* BoolText(bool value) {
  return value ? "True" : "False";
}

// atoi's reading (leading blanks, a sign, the leading digits, 0 without any), but false for a
// number that does not fit, where atoi's result is undefined.
bool ReadInt(const char* text, int* value) {
  errno = 0;
  long long number = std::strtoll(text, nullptr, 10);
  if (errno == ERANGE || number < INT_MIN || number > INT_MAX) return false;
  *value = static_cast<int>(number);
  return true;
}

// atof's reading narrowed to float, but false for a finite number beyond float's range.
bool ReadFloat(const char* text, float* value) {
  errno = 0;
  double number = std::strtod(text, nullptr);
  bool overflow = errno == ERANGE && std::fabs(number) > 1.0;  // underflow gives a tiny number
  if (overflow || (std::isfinite(number) && std::fabs(number) > FLT_MAX)) return false;
  *value = static_cast<float>(number);
  return true;
}

std::string BaseNameOf(const std::string& path) {
  size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}
}  // namespace

ConfigData::Section::~Section() {
  for (Entry* entry : entries) delete entry;
}

ConfigData::Entry* ConfigData::Section::Find(const char* key) {
  for (Entry* entry : entries) {
    if (key == entry->key) return entry;
  }
  return nullptr;
}

ConfigData::ConfigData(const char* path) : rootName(CurrentGameIdentity().configRoot.c_str()) {
  std::snprintf(fileName, sizeof fileName, "%s", path);
  std::error_code error;
  if (std::filesystem::exists(fileName, error)) Load();
}

ConfigData::~ConfigData() {
  sections.ForEach([](StringHashMap::Entry& entry) { delete static_cast<Section*>(entry.value); });
  sections.Clear();
}

void ConfigData::Load() {
  XMLReader reader(fileName);
  if (reader.Damaged()) KeepDamagedCopy(reader);
  if (!reader.Cursor() || !reader.GoToFirstChild()) return;
  do {
    const char* sectionName = reader.GetName();
    auto* section = new Section();
    section->name = SharedString(sectionName ? sectionName : "");
    // A repeated section name keeps the first section; the repeat's entries are read and dropped.
    sections.Insert(section->name, section);
    bool kept = sections.Find(section->name)->value == section;
    if (reader.GoToFirstChild()) {
      do {
        const char* key = reader.GetName();
        auto* entry = new Entry{SharedString(key ? key : ""), SharedString()};
        reader.SerializeString(&entry->value);
        section->entries.push_back(entry);
      } while (reader.GoToNextSibling());
      reader.GoToParent();
    }
    if (!kept) delete section;
  } while (reader.GoToNextSibling());
}

// The next save replaces the file with the defaults; the user's file, whatever is wrong with it,
// is copied beside it first so that nothing of it is lost.
void ConfigData::KeepDamagedCopy(const XMLReader& reader) {
  std::string copy, reason;
  struct stat info;
  mode_t mode = ::stat(fileName, &info) == 0 ? (info.st_mode & 0777) : 0600;
  const std::string& contents = reader.DamagedText();
  bool kept = WriteFileUnderFreeName(std::string(fileName) + ".damaged", contents.data(),
                                     contents.size(), mode, &copy, &reason);
  std::cerr << fileName << ": " << reader.ParseError() << ", line " << reader.ParseErrorLine()
            << "; " << (kept ? "kept as " + BaseNameOf(copy) : "could not keep a copy: " + reason)
            << std::endl;
}

void ConfigData::ReportOutOfRange(const char* section, const char* key, const char* type,
                                  const char* used) {
  std::cerr << fileName << ": the value of \"" << key << "\" in \"" << section
            << "\" is out of range for " << type << "; " << used << " is used" << std::endl;
}

ConfigData::Entry* ConfigData::SetDefaultText(const char* sectionName, const char* key,
                                              const char* text) {
  StringHashMap::Entry* found = sections.Find(SharedString(sectionName));
  Section* section = found ? static_cast<Section*>(found->value) : nullptr;
  if (section) {
    if (Entry* existing = section->Find(key)) return existing;
  } else {
    section = new Section();
    section->name = SharedString(sectionName);
    sections.Insert(section->name, section);
  }
  section->entries.push_back(new Entry{SharedString(key), SharedString(text)});
  return nullptr;
}

void ConfigData::SetDefault(const char* section, const char* key, bool value) {
  SetDefaultText(section, key, BoolText(value));
}

// A value from the file that does not fit the declared type gives way to the default.
void ConfigData::SetDefault(const char* section, const char* key, int value) {
  char text[100];
  std::snprintf(text, sizeof text, "%d", value);
  int fromFile;
  Entry* existing = SetDefaultText(section, key, text);
  if (existing && !ReadInt(existing->value.CStr(), &fromFile)) {
    ReportOutOfRange(section, key, "an int", ("the default " + std::string(text)).c_str());
    existing->value = SharedString(text);
  }
}

void ConfigData::SetDefault(const char* section, const char* key, float value) {
  char text[100];
  std::snprintf(text, sizeof text, "%f", static_cast<double>(value));
  float fromFile;
  Entry* existing = SetDefaultText(section, key, text);
  if (existing && !ReadFloat(existing->value.CStr(), &fromFile)) {
    ReportOutOfRange(section, key, "a float", ("the default " + std::string(text)).c_str());
    existing->value = SharedString(text);
  }
}

SharedString* ConfigData::Lookup(const char* sectionName, const char* key) {
  StringHashMap::Entry* found = sections.Find(SharedString(sectionName));
  if (!found) {
    std::cerr << "Could not find \"" << sectionName << "\" in ConfigData." << std::endl;
    return nullptr;
  }
  Section* section = static_cast<Section*>(found->value);
  Entry* entry = section->Find(key);
  if (!entry) {
    std::cerr << "Could not find \"" << key << "\" in \"" << section->name.CStr() << "\""
              << std::endl;
    return nullptr;
  }
  return &entry->value;
}

template <>
bool ConfigData::Get<bool>(const char* section, const char* key) {
  SharedString* text = Lookup(section, key);
  return text && std::strcmp(text->CStr(), "True") == 0;
}

template <>
int ConfigData::Get<int>(const char* section, const char* key) {
  SharedString* text = Lookup(section, key);
  int value = -1;
  if (text && !ReadInt(text->CStr(), &value)) ReportOutOfRange(section, key, "an int", "-1");
  return value;
}

template <>
float ConfigData::Get<float>(const char* section, const char* key) {
  SharedString* text = Lookup(section, key);
  float value = -1.0f;
  if (text && !ReadFloat(text->CStr(), &value)) ReportOutOfRange(section, key, "a float", "-1.0");
  return value;
}

void ConfigData::SetText(const char* section, const char* key, const char* text) {
  if (SharedString* value = Lookup(section, key)) *value = SharedString(text);
}

void ConfigData::Set(const char* section, const char* key, bool value) {
  SetText(section, key, BoolText(value));
}

void ConfigData::Set(const char* section, const char* key, int value) {
  char text[100];
  std::snprintf(text, sizeof text, "%d", value);
  SetText(section, key, text);
}

void ConfigData::Set(const char* section, const char* key, float value) {
  char text[100];
  std::snprintf(text, sizeof text, "%f", static_cast<double>(value));
  SetText(section, key, text);
}

void ConfigData::Save() {
  XMLWriter writer(fileName, rootName.CStr());
  sections.ForEach([&writer](StringHashMap::Entry& sectionEntry) {
    Section* section = static_cast<Section*>(sectionEntry.value);
    writer.GoToChild(section->name.CStr());
    for (Entry* entry : section->entries) {
      writer.GoToChild(entry->key.CStr());
      writer.SerializeString(&entry->value);
      writer.GoToParent();
    }
    writer.GoToParent();
  });
}

}  // namespace CorvaneEngine
