// XMLReader: loads an XML file at construction and reads the caller's variables from it. The
// cursor starts on the root element; after a failed load it is empty and every operation
// reports and answers false. Only regular files are read; anything else counts as a file that
// cannot be opened.
#pragma once

#include <string>

#include "objects/XMLSerializer.h"

namespace CorvaneEngine {

class XMLReader : public XMLSerializer {
 public:
  explicit XMLReader(const SharedString& fileName);

  bool GoToChild(const char* name) override;
  bool GoToNextSibling() override;
  bool SerializeInt(int32_t* value) override;
  bool SerializeFloat(float* value) override;
  bool SerializeDouble(double* value) override;
  bool SerializeString(SharedString* value) override;
  bool SerializeBool(bool* value) override;
  bool SerializeAttribute(const char* name, SharedString* value) override;

  // Whether the file was read but did not parse; the parser's reason and line tell why.
  bool Damaged() const { return damaged; }
  // The bytes of a damaged file as they were read (empty otherwise), so they can be kept.
  const std::string& DamagedText() const { return damagedText; }
  std::string ParseError() const;
  int ParseErrorLine() const { return document.ErrorLineNum(); }

 private:
  bool damaged = false;
  std::string damagedText;

  // The cursor's data: the text of its first child node, or null after the log line.
  const char* DataText();
};

}  // namespace CorvaneEngine
