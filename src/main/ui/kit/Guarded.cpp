#include "Guarded.h"

#include <QtGlobal>

#include <exception>

namespace kit {
namespace {
FailureSink& sink()
{
    static FailureSink s;
    return s;
}
}  // namespace

void setFailureSink(FailureSink s)
{
    sink() = std::move(s);
}

void reportFailure(const QString& where, const QString& what)
{
    qWarning("%s failed: %s", qPrintable(where), qPrintable(what));
    try {
        if (sink())
            sink()(where, what);
    } catch (...) {
        // The sink itself failed; the warning above was still written.
    }
}

bool guarded(const char* where, const std::function<void()>& fn) noexcept
{
    try {
        fn();
        return true;
    } catch (const std::exception& e) {
        reportFailure(QString::fromUtf8(where), QString::fromUtf8(e.what()));
    } catch (...) {
        reportFailure(QString::fromUtf8(where), QStringLiteral("unknown exception"));
    }
    return false;
}

}  // namespace kit
