#include "UiServices.h"

QString qtFileFilter(const QString& pipeFilter)
{
    const QStringList parts = pipeFilter.split(QLatin1Char('|'));
    QStringList filters;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        QString pattern = parts.at(i + 1);
        pattern.replace(QLatin1Char(';'), QLatin1Char(' '));
        if (pattern == QLatin1String("*.*"))
            pattern = QStringLiteral("*");
        filters << QStringLiteral("%1 (%2)").arg(parts.at(i), pattern);
    }
    return filters.join(QStringLiteral(";;"));
}

namespace {
QPointer<QObject>& currentOwner()
{
    static QPointer<QObject> owner;
    return owner;
}
}  // namespace

DialogOwner::DialogOwner(QObject* window)
{
    if (!window)
        return;
    m_previous = currentOwner();
    currentOwner() = window;
    m_set = true;
}

DialogOwner::~DialogOwner()
{
    if (m_set)
        currentOwner() = m_previous;
}

QObject* DialogOwner::current()
{
    return currentOwner().data();
}

MsgResult RecordingUiServices::message(const QString& text, const QString& title, MsgButtons buttons, MsgIcon icon)
{
    const Message m{text, title, buttons, icon, DialogOwner::current()};
    messages << m;
    if (onMessage)
        onMessage(m);
    if (!answers.isEmpty())
        return answers.takeFirst();
    return buttons == MsgButtons::YesNo || buttons == MsgButtons::YesNoCancel ? MsgResult::Yes : MsgResult::Ok;
}

QString RecordingUiServices::openFile(const FileDialogRequest& request)
{
    fileRequests << request;
    fileOwners << DialogOwner::current();
    return fileAnswers.isEmpty() ? QString() : fileAnswers.takeFirst();
}

QString RecordingUiServices::saveFile(const FileDialogRequest& request)
{
    fileRequests << request;
    fileOwners << DialogOwner::current();
    return fileAnswers.isEmpty() ? QString() : fileAnswers.takeFirst();
}

QStringList RecordingUiServices::texts() const
{
    QStringList out;
    for (const Message& m : messages)
        out << m.text;
    return out;
}

void RecordingUiServices::clear()
{
    messages.clear();
    fileRequests.clear();
    fileOwners.clear();
    answers.clear();
    fileAnswers.clear();
    beeps = 0;
}
