#include "objects/XMLReader.h"

#include <cstdlib>
#include <cstring>

#include "core/OutputStream.h"

namespace CorvaneEngine {

XMLReader::XMLReader(const SharedString& fileName) : XMLSerializer(Reading, fileName) {
  if (document.LoadFile(fileName.CStr()) != tinyxml2::XML_SUCCESS) {
    Log << "ERROR: Could Not Open File: " << fileName.CStr() << std::endl;
    return;
  }
  cursor = document.FirstChildElement();
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
    Log << "ERROR: " << TagForMessage() << " in file " << fileName.CStr() << " does not contain data."
        << std::endl;
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
    Log << "ERROR: " << TagForMessage() << " in file " << fileName.CStr() << " does not contain an attribute "
        << (name ? name : "") << "." << std::endl;
    return false;
  }
  *value = SharedString(attribute);
  return true;
}

}  // namespace CorvaneEngine
