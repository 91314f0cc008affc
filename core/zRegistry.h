// The class registry and object factory: storable objects are written with
// their class name and re-created from it. The registry (zCore.Classes) keeps
// one prototype per class; every object handed out is a new instance made by
// the prototype's Create.
#pragma once

#include <memory>
#include <string>

#include "core/zInterfaces.h"

namespace zun {

// Adds a prototype. It must also be an iChunk; a name already registered keeps
// its first prototype. Constructing a prototype must have no side effects.
void RegisterClass(const std::shared_ptr<iClass>& Instance);

// The first registered prototype of that exact (case-sensitive) name, or null.
std::shared_ptr<iChunk> FindClass(const std::string& ClassName);

// A new instance of a registered class with a fresh, empty meta record. With
// NewGUID the instance and its meta record each get a new GUID. Null (and a log
// line) when the class is unknown or cannot be made.
std::shared_ptr<iChunk> CreateClass(const std::string& ClassName, bool NewGUID = false);

// 32 uppercase hexadecimal digits, without braces or dashes.
std::string CreateGUID();

// Removes every "-", trims blanks at both ends, then removes every "{" and "}".
std::string FormatGUID(const std::string& Text);

// Registers the core's own storable classes (zValues).
void RegisterCoreClasses();

}  // namespace zun
