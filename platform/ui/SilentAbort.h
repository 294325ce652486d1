#pragma once
// Leaving an event handler early without a message: the handler has already
// told the user what is wrong (or nothing needs saying), and the guard around
// every handler swallows this exception.
#include <exception>

namespace ui {

class SilentAbort : public std::exception
{
public:
    const char *what() const noexcept override { return "silent abort"; }
};

[[noreturn]] void abortAction();

} // namespace ui
