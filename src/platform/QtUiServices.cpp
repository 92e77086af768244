// The real dialogs, message boxes and beep (QtWidgets); kept apart so that
// the headless parts of the platform layer link no widgets.
#include "UiServices.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QPointer>

namespace {
// A window a box can sit on: shown, usable, and no menu or tooltip.
QWidget* usableWindow(QWidget* w)
{
    if (!w)
        return nullptr;
    w = w->window();
    const Qt::WindowType type = w->windowType();
    if (!w->isVisible() || !w->isEnabled() || type == Qt::Popup || type == Qt::ToolTip)
        return nullptr;
    return w;
}
}  // namespace

QWidget* QtUiServices::dialogParent() const
{
    if (QWidget* w = usableWindow(qobject_cast<QWidget*>(DialogOwner::current())))
        return w;
    if (QWidget* w = usableWindow(QApplication::activeWindow()))
        return w;
    // A disabled main window would disable its box: such a box goes without one.
    return usableWindow(m_parent);
}

namespace {
// Gives the window a box sat on the focus back when the box has closed: a
// window manager may hand it to another window (openbox does so for tool
// windows).
void refocus(const QPointer<QWidget>& window)
{
    if (window && window->isVisible()) {
        window->raise();
        window->activateWindow();
    }
}
}  // namespace

MsgResult QtUiServices::message(const QString& text, const QString& title, MsgButtons buttons, MsgIcon icon)
{
    // On the heap: a window that goes while its box is open takes the box with it.
    const QPointer<QWidget> parent = dialogParent();
    const QPointer<QMessageBox> box = new QMessageBox(parent);
    box->setText(text);
    box->setWindowTitle(title.isEmpty() ? QStringLiteral("Kelvane") : title);
    switch (icon) {
    case MsgIcon::None: box->setIcon(QMessageBox::NoIcon); break;
    case MsgIcon::Information: box->setIcon(QMessageBox::Information); break;
    case MsgIcon::Exclamation: box->setIcon(QMessageBox::Warning); break;
    case MsgIcon::Question: box->setIcon(QMessageBox::Question); break;
    case MsgIcon::Critical: box->setIcon(QMessageBox::Critical); break;
    }
    switch (buttons) {
    case MsgButtons::Ok: box->setStandardButtons(QMessageBox::Ok); break;
    case MsgButtons::OkCancel: box->setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel); break;
    case MsgButtons::YesNo: box->setStandardButtons(QMessageBox::Yes | QMessageBox::No); break;
    case MsgButtons::YesNoCancel:
        box->setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        break;
    }
    const int answer = box->exec();
    delete box.data();
    refocus(parent);
    switch (answer) {
    case QMessageBox::Ok: return MsgResult::Ok;
    case QMessageBox::Yes: return MsgResult::Yes;
    case QMessageBox::No: return MsgResult::No;
    default: return MsgResult::Cancel;
    }
}

QString QtUiServices::openFile(const FileDialogRequest& r)
{
    QString start = r.folder;
    if (!r.fileName.isEmpty())
        start = start.isEmpty() ? r.fileName : start + QLatin1Char('/') + r.fileName;
    const QPointer<QWidget> parent = dialogParent();
    const QString path = QFileDialog::getOpenFileName(parent, r.title, start, qtFileFilter(r.filter));
    refocus(parent);
    return path;
}

QString QtUiServices::saveFile(const FileDialogRequest& r)
{
    QString start = r.folder;
    if (!r.fileName.isEmpty())
        start = start.isEmpty() ? r.fileName : start + QLatin1Char('/') + r.fileName;
    const QPointer<QWidget> parent = dialogParent();
    const QPointer<QFileDialog> dialog = new QFileDialog(parent, r.title, start, qtFileFilter(r.filter));
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    dialog->setDefaultSuffix(r.defaultExt);
    const bool accepted = dialog->exec() == QDialog::Accepted && dialog && !dialog->selectedFiles().isEmpty();
    const QString path = accepted ? dialog->selectedFiles().constFirst() : QString();
    delete dialog.data();
    refocus(parent);
    return path;
}

void QtUiServices::beep()
{
    QApplication::beep();
}
