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

// A database error raised by the connection or an open result: "<object name>: <text>".
class DatabaseError : public Error {
public:
    using Error::Error;
};

// An error text that comes straight from the database engine or driver.
class EngineError : public Error {
public:
    using Error::Error;
    // `position`: where in the statement's text the engine found the fault, as an index into
    // that QString (UTF-16 code units); -1 when the engine names no place.
    EngineError(const QString& message, qsizetype position) : Error(message), m_position(position) {}
    qsizetype position() const { return m_position; }

private:
    qsizetype m_position = -1;
};

// A database failure that no further unit of work can escape: the file is locked by another
// program, damaged, full or read-only. A job ends at it instead of trying the next unit.
class StorageError : public EngineError {
public:
    using EngineError::EngineError;
};

// A failed request to the statistics service, or a document that lacks what was read from it.
class ServiceError : public Error {
public:
    using Error::Error;
};

// No answer at all: no connection, a dropped connection or a time-out.
class NoAnswerError : public ServiceError {
public:
    using ServiceError::ServiceError;
};

// An answer larger than the program takes (HttpRequest::kMaxAnswerBytes after decoding).
class AnswerTooLargeError : public ServiceError {
public:
    using ServiceError::ServiceError;
};

// The user stopped the action (a close request, Ctrl+C) while it waited: not a failure, so it is
// not shown, and a job ends as after a cancel.
class Cancelled : public std::exception {
public:
    const char* what() const noexcept override { return "stopped at the user's request"; }
};

// The text a user reads about a failure, whatever was thrown.
inline QString failureMessage(const std::exception& failure)
{
    if (const auto* error = dynamic_cast<const Error*>(&failure))
        return error->message();
    return QString::fromLocal8Bit(failure.what());
}

} // namespace racr
