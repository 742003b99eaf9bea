#include "core/ConfigData.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iostream>

#include "objects/XMLReader.h"
#include "objects/XMLWriter.h"

namespace CorvaneEngine {

ConfigData* ConfigData::instance = nullptr;

namespace {
const char* BoolText(bool value) { return value ? "True" : "False"; }
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

ConfigData::ConfigData(const char* path) : rootName("Amber_Lantern_Grove") {
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

void ConfigData::SetDefaultText(const char* sectionName, const char* key, const char* text) {
  StringHashMap::Entry* found = sections.Find(SharedString(sectionName));
  Section* section = found ? static_cast<Section*>(found->value) : nullptr;
  if (section && section->Find(key)) return;
  if (!section) {
    section = new Section();
    section->name = SharedString(sectionName);
    sections.Insert(section->name, section);
  }
  section->entries.push_back(new Entry{SharedString(key), SharedString(text)});
}

void ConfigData::SetDefault(const char* section, const char* key, bool value) {
  SetDefaultText(section, key, BoolText(value));
}

void ConfigData::SetDefault(const char* section, const char* key, int value) {
  char text[100];
  std::snprintf(text, sizeof text, "%d", value);
  SetDefaultText(section, key, text);
}

void ConfigData::SetDefault(const char* section, const char* key, float value) {
  char text[100];
  std::snprintf(text, sizeof text, "%f", static_cast<double>(value));
  SetDefaultText(section, key, text);
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
    std::cerr << "Could not find \"" << key << "\" in \"" << section->name.CStr() << "\"" << std::endl;
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
  return text ? std::atoi(text->CStr()) : -1;
}

template <>
float ConfigData::Get<float>(const char* section, const char* key) {
  SharedString* text = Lookup(section, key);
  return text ? static_cast<float>(std::atof(text->CStr())) : -1.0f;
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
