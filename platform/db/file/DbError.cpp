#include "DbError.h"

namespace db {

DbError::DbError(const QString &message, int systemError)
    : std::runtime_error(message.toStdString()), m_message(message), m_systemError(systemError)
{
}

} // namespace db
