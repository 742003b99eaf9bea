#include "objects/XMLReader.h"

#include <cstdlib>
#include <cstring>
#include <string>

#include "core/OutputStream.h"
#include "core/RegularFile.h"

namespace CorvaneEngine {

// Read through ReadRegularFile: a FIFO or a device given as a file must not block the reader or
// feed it forever.
XMLReader::XMLReader(const SharedString& fileName) : XMLSerializer(Reading, fileName) {
  std::string contents;
  bool read = ReadRegularFile(fileName.CStr(), contents, nullptr);
  if (read && document.Parse(contents.data(), contents.size()) == tinyxml2::XML_SUCCESS) {
    cursor = document.FirstChildElement();
    return;
  }
  damaged = read;
  if (damaged) damagedText.swap(contents);
  Log << "ERROR: Could Not Open File: " << fileName.CStr() << std::endl;
}

std::string XMLReader::ParseError() const {
  std::string reason = document.ErrorName();
  // ErrorStr ends with the parser's detail, when it has one, after "Line number=N: ".
  const char* full = document.ErrorStr();
  const char* detail = full ? std::strstr(full, "Line number=") : nullptr;
  detail = detail ? std::strstr(detail, ": ") : nullptr;
  if (detail) reason += std::string(" (") + (detail + 2) + ")";
  return reason;
}

bool XMLReader::GoToChild(const char* name) {
  if (!cursor) return ReportNoCursor("GoToChild");
  tinyxml2::XMLElement* child = cursor->FirstChildElement(name);
  if (!child) {
    Log << "ERROR: Could not find child: " << (name ? name : "") << " of " << TagForMessage()
        << " in file " << fileName.CStr() << std::endl;
    return false;
  }
  cursor = child;
  return true;
}

bool XMLReader::GoToNextSibling() {
  if (!cursor) return false;
  tinyxml2::XMLElement* sibling = cursor->NextSiblingElement();
  if (!sibling) return false;
  cursor = sibling;
  return true;
}

const char* XMLReader::DataText() {
  if (!cursor) {
    ReportNoCursor("Reading a value");
    return nullptr;
  }
  const tinyxml2::XMLNode* first = cursor->FirstChild();
  const tinyxml2::XMLText* text = first ? first->ToText() : nullptr;
  if (!text) {
    Log << "ERROR: " << TagForMessage() << " in file " << fileName.CStr()
        << " does not contain data." << std::endl;
    return nullptr;
  }
  return text->Value();
}

bool XMLReader::SerializeInt(int32_t* value) {
  const char* text = DataText();
  if (!text) return false;
  *value = std::atoi(text);
  return true;
}

bool XMLReader::SerializeFloat(float* value) {
  const char* text = DataText();
  if (!text) return false;
  *value = static_cast<float>(std::atof(text));
  return true;
}

bool XMLReader::SerializeDouble(double* value) {
  const char* text = DataText();
  if (!text) return false;
  *value = std::atof(text);
  return true;
}

bool XMLReader::SerializeString(SharedString* value) {
  const char* text = DataText();
  if (!text) return false;
  *value = SharedString(text);
  return true;
}

bool XMLReader::SerializeBool(bool* value) {
  const char* text = DataText();
  if (!text) return false;
  *value = std::strcmp(text, "True") == 0 || std::strcmp(text, "true") == 0;
  return true;
}

bool XMLReader::SerializeAttribute(const char* name, SharedString* value) {
  if (!cursor) return ReportNoCursor("SerializeAttribute");
  const char* attribute = name ? cursor->Attribute(name) : nullptr;
  if (!attribute) {
    Log << "ERROR: " << TagForMessage() << " in file " << fileName.CStr()
        << " does not contain an attribute " << (name ? name : "") << "." << std::endl;
    return false;
  }
  *value = SharedString(attribute);
  return true;
}

}  // namespace CorvaneEngine
