#pragma once
// Every event handler runs inside guarded(): an exception must never cross
// Qt's event loop, and a failed action must leave the program running.
#include <QAbstractButton>
#include <QMetaObject>
#include <QObject>
#include <QString>
#include <exception>
#include <functional>

namespace ui {

// The text the error box shows for an exception (its what(), read as UTF-8).
QString errorText(const std::exception &error);

// An error that carries, beside the sentence the user reads, the longer
// words of a tool it ran (an archiver's transcript) for the box's details.
class ErrorDetails
{
public:
    virtual ~ErrorDetails() = default;
    virtual QString details() const = 0;
};

// The details of an error that has them; empty otherwise.
QString errorDetails(const std::exception &error);

// Runs handler. A SilentAbort ends it without a word; any other exception is
// shown in the standard error box with its own text and details. True when the handler
// ran to its end.
bool guarded(const std::function<void()> &handler);

// Runs handler through the guard on every click. The connection lives as long
// as both button and context.
QMetaObject::Connection connectGuarded(QAbstractButton *button, const QObject *context,
                                       std::function<void()> handler);

template <typename Form>
QMetaObject::Connection connectGuarded(QAbstractButton *button, Form *form, void (Form::*handler)())
{
    return connectGuarded(button, form, std::function<void()>([form, handler] { (form->*handler)(); }));
}

// Any signal; its arguments are dropped.
template <typename Sender, typename Signal>
QMetaObject::Connection connectGuarded(const Sender *sender, Signal signal, const QObject *context,
                                       std::function<void()> handler)
{
    return QObject::connect(sender, signal, context, [handler = std::move(handler)] { guarded(handler); });
}

} // namespace ui
