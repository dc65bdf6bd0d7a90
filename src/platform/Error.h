#pragma once
// How a failure crosses from one library to another: as an exception derived from Error, whose
// message() is Arabic and fit to show the user. Each failure domain has its own type, so a caller
// can catch just the one it expects, or Error to show whatever went wrong.
#include <QString>

#include <stdexcept>

namespace platform {

class Error : public std::runtime_error
{
public:
    explicit Error(const QString &message)
        : std::runtime_error(message.toStdString())
        , m_message(message)
    { }
    const QString &message() const noexcept { return m_message; }

private:
    QString m_message;
};

// A file could not be read or written.
class FileError : public Error
{
public:
    using Error::Error;
};

} // namespace platform
