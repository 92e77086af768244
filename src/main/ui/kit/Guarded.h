#pragma once
// The one way a handler, tick or callback keeps an exception from escaping
// into the event loop: `guarded` runs the step, logs any exception together
// with where it happened, and reports whether the step completed.

#include <QString>

#include <functional>
#include <utility>

namespace kit {

// Receives every failure that `guarded` catches (where, what). By default it
// goes to the Qt message log as a warning; the program adds the
// communication log, tests record it.
using FailureSink = std::function<void(const QString& where, const QString& what)>;
void setFailureSink(FailureSink sink);
void reportFailure(const QString& where, const QString& what);

// Runs fn; true when it returned normally. Never throws.
bool guarded(const char* where, const std::function<void()>& fn) noexcept;

// Runs fn and returns its result, or `fallback` when it threw.
template <class R, class F>
R guarded(const char* where, F&& fn, R fallback) noexcept
{
    R result = fallback;
    guarded(where, [&] { result = std::forward<F>(fn)(); });
    return result;
}

}  // namespace kit
