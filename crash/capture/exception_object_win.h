// Whether a pointer handed to the exported entry is a C++ exception of this module, decided
// from what the memory manager and this module's run-time type information say, without ever
// touching memory that may not be there.
#pragma once

#include <exception>

namespace quillan::crash {

// object as the std::exception it is: its virtual table and that table's type information lie
// in a loaded image, the type information is of this module's run-time (through every base),
// the type derives from std::exception and object is that base of the whole object. Null for
// anything else (a foreign or freed object, a plain structure, text, a stray pointer).
const std::exception* AsExceptionObject(const void* object);

}  // namespace quillan::crash
