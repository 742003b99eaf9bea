#include "objects/XMLWriter.h"

#include <iostream>
#include <sstream>
#include <string>

#include "core/AtomicFile.h"
#include "core/OutputStream.h"

namespace CorvaneEngine {

XMLWriter::XMLWriter(const SharedString& fileName, const char* rootName)
    : XMLSerializer(Writing, fileName) {
  document.InsertEndChild(document.NewDeclaration("xml version=\"1.0\""));
  cursor = document.NewElement(rootName ? rootName : "");
  document.InsertEndChild(cursor);
}

// The file is replaced as a whole or not at all: a full disk must not leave a truncated file in
// place of the old one. The log is silent by default, so the reason also goes to standard error.
XMLWriter::~XMLWriter() {
  tinyxml2::XMLPrinter printer;
  document.Print(&printer);
  std::string reason;
  const size_t size = static_cast<size_t>(printer.CStrSize() - 1);  // without the final NUL
  if (!ReplaceFileAtomically(fileName.CStr(), printer.CStr(), size, &reason)) {
    Log << "ERROR: Could not save file: " << fileName.CStr() << std::endl;
    std::cerr << fileName.CStr() << ": could not save: " << reason << std::endl;
  }
}

bool XMLWriter::GoToChild(const char* name) {
  if (!cursor) return ReportNoCursor("GoToChild");
  tinyxml2::XMLElement* child = document.NewElement(name ? name : "");
  cursor->InsertEndChild(child);
  cursor = child;
  return true;
}

bool XMLWriter::GoToNextSibling() {
  if (!cursor) return ReportNoCursor("GoToNextSibling");
  tinyxml2::XMLElement* sibling = cursor->NextSiblingElement();
  if (!sibling) {
    Log << "ERROR: Could not find a sibling node after: " << TagForMessage() << " in file "
        << fileName.CStr() << std::endl;
    return false;
  }
  cursor = sibling;
  return true;
}

bool XMLWriter::AppendText(const char* text) {
  if (!cursor) return ReportNoCursor("Writing a value");
  cursor->InsertEndChild(document.NewText(text));
  return true;
}

bool XMLWriter::SerializeInt(int32_t* value) {
  return AppendText(std::to_string(*value).c_str());
}

bool XMLWriter::SerializeFloat(float* value) {
  std::ostringstream text;
  text << *value;
  return AppendText(text.str().c_str());
}

bool XMLWriter::SerializeDouble(double* value) {
  std::ostringstream text;
  text << *value;
  return AppendText(text.str().c_str());
}

bool XMLWriter::SerializeString(SharedString* value) {
  return AppendText(value->CStr());
}

bool XMLWriter::SerializeBool(bool* value) {
  return AppendText(*value ? "True" : "False");
}

bool XMLWriter::SerializeAttribute(const char* name, SharedString* value) {
  if (!cursor) return ReportNoCursor("SerializeAttribute");
  cursor->SetAttribute(name ? name : "", value->CStr());
  return true;
}

}  // namespace CorvaneEngine
