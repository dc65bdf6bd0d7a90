#pragma once
#include "platform/Error.h"

namespace store {

// A failed operation on the library or on another database file.
class StoreError : public platform::Error
{
public:
    using Error::Error;
};

} // namespace store
