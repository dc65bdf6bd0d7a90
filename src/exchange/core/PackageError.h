#pragma once
#include "platform/Error.h"

namespace exchange {

// A file that cannot be used as an update package; the message names the file and says why.
class PackageError : public platform::Error
{
public:
    using Error::Error;
};

} // namespace exchange
