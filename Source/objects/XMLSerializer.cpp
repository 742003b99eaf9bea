#include "objects/XMLSerializer.h"

#include "core/OutputStream.h"

namespace CorvaneEngine {

XMLSerializer::XMLSerializer(int32_t mode, const SharedString& fileName)
    : BaseSerializer(mode), fileName(fileName) {}

bool XMLSerializer::ReportNoCursor(const char* operation) {
  Log << "ERROR: " << operation << " has no current element in file " << fileName.CStr() << std::endl;
  return false;
}

const char* XMLSerializer::TagForMessage() {
  const char* tag = cursor ? cursor->Name() : nullptr;
  return tag ? tag : "";
}

bool XMLSerializer::GoToFirstChild() {
  if (!cursor) return ReportNoCursor("GoToFirstChild");
  tinyxml2::XMLElement* child = cursor->FirstChildElement();
  if (!child) {
    Log << "ERROR: Could not find a child node of: " << TagForMessage() << " in file " << fileName.CStr()
        << std::endl;
    return false;
  }
  cursor = child;
  return true;
}

bool XMLSerializer::GoToParent() {
  if (!cursor) return ReportNoCursor("GoToParent");
  tinyxml2::XMLNode* parent = cursor->Parent();
  if (!parent) {
    Log << "ERROR: Could not find a parent of: " << TagForMessage() << " in file " << fileName.CStr()
        << std::endl;
    return false;
  }
  // From the root element the parent is the document itself: the cursor becomes empty.
  cursor = parent->ToElement();
  return true;
}

const char* XMLSerializer::GetName() {
  if (!cursor) return nullptr;
  const char* name = cursor->Name();
  if (!name || !*name) {
    Log << "ERROR: Current tag does not have a name ... ummmm ...";
    return nullptr;
  }
  return name;
}

const char* XMLSerializer::GetFileName() { return fileName.CStr(); }

}  // namespace CorvaneEngine
