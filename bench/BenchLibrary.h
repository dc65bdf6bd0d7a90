#pragma once
// The library a benchmark program measures: one for the program, as the program itself holds one.
#include "store/Library.h"

// Never freed: Qt's connection registry may be gone by the time static destructors run.
inline store::Library &benchLibrary()
{
    static store::Library *library = new store::Library;
    return *library;
}
