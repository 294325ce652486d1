#pragma once
#include <QString>
#include <stdexcept>

namespace db {

// Every failure of the table engine. what() is UTF-8 of message().
class DbError : public std::runtime_error
{
public:
    explicit DbError(const QString &message);
    QString message() const { return m_message; }

private:
    QString m_message;
};

// A statement that does not parse; callers tell it apart from other errors.
class SqlSyntaxError : public DbError
{
public:
    using DbError::DbError;
};

} // namespace db
