// ObjectFactory: builds game objects from data. It keeps two registries by name: component types
// (one owned prototype each, registered by the engine and the game at start-up) and object types
// (one per object file in ./GameObjects). Creating an object clones the type's prototypes into a
// new GameObject and adds it to the ObjectManager, which creates and owns the factory.
//
// Threads: main thread only; the tables have no lock.
#pragma once

#include <cstdint>

#include "objects/SharedString.h"
#include "objects/StringHashMap.h"

namespace CorvaneEngine {

class BaseSerializer;
class GameObject;
class GOComponent;
class ObjectType;
class XMLReader;

class ObjectFactory {
 public:
  ObjectFactory();
  ObjectFactory(const ObjectFactory&) = delete;
  ObjectFactory& operator=(const ObjectFactory&) = delete;
  // Clears `instance`, deletes every prototype and every object type.
  ~ObjectFactory();

  // The factory owns the prototype from now on. A name that is present keeps its first prototype.
  void RegisterComponentType(const SharedString& name, GOComponent* prototype);
  // Reads every entry of the folder as an object file (the engine passes "./GameObjects").
  void LoadObjectTypes(const SharedString& directory);
  // Reads one object file and registers its type; the first file read for a name wins.
  void LoadObjectTypeFile(const SharedString& path);
  // Fills `type` from an object file; the serializer's cursor is the file's root element.
  void ReadObjectType(ObjectType& type, BaseSerializer& serializer);

  // A new object of the named type, added to the ObjectManager: its id, or -1 when the type is
  // unknown (nothing is made then).
  int32_t CreateObject(const char* typeName);
  // As CreateObject, but builds `object`; -1 and `object` left out of the manager for an unknown
  // type.
  int32_t InitializeFromType(GameObject* object, const char* typeName);
  // Clones the type's prototypes into `object`, copies name and scale, adds it: its id.
  int32_t Instantiate(ObjectType& type, GameObject* object);

  // Lookups for code that inspects the registries; null when the name is not registered.
  GOComponent* FindComponentType(const SharedString& name) const;
  ObjectType* FindObjectType(const SharedString& name) const;

  static ObjectFactory* instance;

 private:
  // Elements other than "Scale" before "Name" are not read: one line on standard error each, as
  // the author surely meant them as components.
  void ReportElementsBeforeName(XMLReader& reader);

  StringHashMap componentTypes;  // name -> owned GOComponent prototype
  StringHashMap objectTypes;     // name -> owned ObjectType
};

}  // namespace CorvaneEngine
