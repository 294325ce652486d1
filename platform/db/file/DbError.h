#pragma once
// The one kind of error the engine throws, with its message and the system's cause.
#include <QString>
#include <stdexcept>

namespace db {

// Every failure of the table engine. what() is UTF-8 of message().
class DbError : public std::runtime_error
{
public:
    // systemError: the errno of a refused system call behind it, or 0.
    explicit DbError(const QString &message, int systemError = 0);
    QString message() const { return m_message; }
    int systemError() const { return m_systemError; }

private:
    QString m_message;
    int m_systemError = 0;
};

// A statement that does not parse; callers tell it apart from other errors.
class SqlSyntaxError : public DbError
{
public:
    using DbError::DbError;
};

} // namespace db
