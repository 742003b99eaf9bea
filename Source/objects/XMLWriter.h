// XMLWriter: builds a document from the caller's values and saves it to its file when it is
// destroyed (the only moment the file is written). The cursor starts on the root element. A save
// replaces the whole file or, on failure, leaves the old one untouched and says why on standard
// error.
#pragma once

#include "objects/XMLSerializer.h"

namespace CorvaneEngine {

class XMLWriter : public XMLSerializer {
 public:
  XMLWriter(const SharedString& fileName, const char* rootName);
  ~XMLWriter() override;

  bool GoToChild(const char* name) override;
  bool GoToNextSibling() override;
  bool SerializeInt(int32_t* value) override;
  bool SerializeFloat(float* value) override;
  bool SerializeDouble(double* value) override;
  bool SerializeString(SharedString* value) override;
  bool SerializeBool(bool* value) override;
  bool SerializeAttribute(const char* name, SharedString* value) override;

 private:
  bool AppendText(const char* text);
};

}  // namespace CorvaneEngine
