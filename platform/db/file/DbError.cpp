// The engine's error: its message as UTF-8 for what(), and the system error behind it.
#include "DbError.h"

namespace db {

DbError::DbError(const QString &message, int systemError)
    : std::runtime_error(message.toStdString()), m_message(message), m_systemError(systemError)
{
}

} // namespace db
