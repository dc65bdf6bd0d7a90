#pragma once
#include "platform/Error.h"

namespace importing::core {

// A source that cannot be read as the format it was taken for; the message names the file and
// the place in it.
class ImportError : public platform::Error
{
public:
    using Error::Error;
};

} // namespace importing::core
