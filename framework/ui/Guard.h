#pragma once
// No exception may cross the Qt event loop. Every slot, event handler and
// queued call that can reach program code runs inside SafeInvoke:
// CUserException (its message was already shown) ends the command quietly,
// any other exception is reported and the program carries on.

#include "platform/Exceptions.h"

#include <QObject>
#include <exception>
#include <stdexcept>
#include <type_traits>
#include <utility>

// Shows a message for an exception that reached an event handler: file and
// archive errors get the framework's file messages, others their what() text.
void ReportException(const std::exception& e);

// Runs f; returns true when it returned normally.
template <class F> bool SafeInvoke(F&& f) noexcept
{
    try {
        std::forward<F>(f)();
        return true;
    } catch (const CUserException&) {
    } catch (const std::exception& e) {
        try {
            ReportException(e);
        } catch (...) {
        }
    } catch (...) {
        try {
            ReportException(std::runtime_error("unknown error"));
        } catch (...) {
        }
    }
    return false;
}

// QObject::connect whose slot runs inside SafeInvoke.
template <class Sender, class Signal, class F>
QMetaObject::Connection SafeConnect(const Sender* sender, Signal signal, const QObject* context, F f,
                                    Qt::ConnectionType type = Qt::AutoConnection)
{
    return QObject::connect(
        sender, signal, context,
        [f = std::move(f)](auto&&... args) {
            SafeInvoke([&] {
                // A slot takes all of the signal's arguments or none.
                if constexpr (std::is_invocable_v<const F&, decltype(args)...>)
                    f(std::forward<decltype(args)>(args)...);
                else
                    f();
            });
        },
        type);
}
