#pragma once
#include <QString>
#include <stdexcept>

namespace word {

// Every failure of the Word layer: a template that cannot be read, a bookmark
// it lacks, a document that cannot be written. what() is UTF-8 of message().
class WordError : public std::runtime_error
{
public:
    explicit WordError(const QString &message);
    QString message() const { return m_message; }

private:
    QString m_message;
};

} // namespace word
