#pragma once
#include "platform/Error.h"

namespace store {

// A failed operation on the library or on another database file.
class StoreError : public platform::Error
{
public:
    using Error::Error;
};

// The library file itself is damaged (SQLite found a malformed page or no database at all).
// The message says so, and names the newest backup to restore; what was read before the damaged
// part must not be taken for the whole.
class DamagedLibraryError : public StoreError
{
public:
    using StoreError::StoreError;
};

} // namespace store

namespace store {

// The team database holds no tables at all: it can be given the library's schema
// (LibraryConnection::createSchema) once the user agrees.
class EmptyDatabaseError : public StoreError
{
public:
    using StoreError::StoreError;
};

} // namespace store
