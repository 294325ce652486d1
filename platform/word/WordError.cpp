#include "WordError.h"

namespace word {

WordError::WordError(const QString &message)
    : std::runtime_error(message.toStdString()), m_message(message)
{
}

} // namespace word
