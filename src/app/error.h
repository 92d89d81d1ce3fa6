#pragma once

#include <QString>
#include <stdexcept>

namespace racr {

// Every failure the program reports travels as one of these; the message is what the user reads.
class Error : public std::runtime_error {
public:
    explicit Error(const QString& message)
        : std::runtime_error(message.toStdString()), m_message(message) {}
    const QString& message() const { return m_message; }

private:
    QString m_message;
};

// A database error raised by the connection or a query object: "<object name>: <text>".
class DatabaseError : public Error {
public:
    using Error::Error;
};

// An error text that comes straight from the database engine or driver.
class ProviderError : public Error {
public:
    using Error::Error;
};

// A failed request to the statistics service, or a document that lacks what was read from it.
class ServiceError : public Error {
public:
    using Error::Error;
};

} // namespace racr
