#pragma once
// Installing a replacement for one of the program's replaceable functions
// (message boxes, modal windows, choosers, clock, desktop opener) for the
// length of a scope, so a test cannot leave its stand-in behind.
#include <functional>
#include <type_traits>
#include <utility>

namespace ui {

template <typename Handler>
class HandlerOverride
{
public:
    using Setter = Handler (*)(Handler);

    HandlerOverride(Setter setter, std::type_identity_t<Handler> handler)
        : m_setter(setter), m_previous(setter(std::move(handler)))
    {
    }
    ~HandlerOverride() { m_setter(std::move(m_previous)); }

    HandlerOverride(const HandlerOverride &) = delete;
    HandlerOverride &operator=(const HandlerOverride &) = delete;

private:
    Setter m_setter;
    Handler m_previous;
};

} // namespace ui
