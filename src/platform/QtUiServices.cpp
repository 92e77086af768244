// The real dialogs, message boxes and beep (QtWidgets); kept apart so that
// the headless parts of the platform layer link no widgets.
#include "UiServices.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>

MsgResult QtUiServices::message(const QString& text, const QString& title, MsgButtons buttons, MsgIcon icon)
{
    QMessageBox box(m_parent);
    box.setText(text);
    box.setWindowTitle(title.isEmpty() ? QStringLiteral("Kelvane") : title);
    switch (icon) {
    case MsgIcon::None: box.setIcon(QMessageBox::NoIcon); break;
    case MsgIcon::Information: box.setIcon(QMessageBox::Information); break;
    case MsgIcon::Exclamation: box.setIcon(QMessageBox::Warning); break;
    case MsgIcon::Question: box.setIcon(QMessageBox::Question); break;
    case MsgIcon::Critical: box.setIcon(QMessageBox::Critical); break;
    }
    switch (buttons) {
    case MsgButtons::Ok: box.setStandardButtons(QMessageBox::Ok); break;
    case MsgButtons::OkCancel: box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel); break;
    case MsgButtons::YesNo: box.setStandardButtons(QMessageBox::Yes | QMessageBox::No); break;
    case MsgButtons::YesNoCancel:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        break;
    }
    switch (box.exec()) {
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
    return QFileDialog::getOpenFileName(m_parent, r.title, start, qtFileFilter(r.filter));
}

QString QtUiServices::saveFile(const FileDialogRequest& r)
{
    QString start = r.folder;
    if (!r.fileName.isEmpty())
        start = start.isEmpty() ? r.fileName : start + QLatin1Char('/') + r.fileName;
    QFileDialog dialog(m_parent, r.title, start, qtFileFilter(r.filter));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(r.defaultExt);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst();
}

void QtUiServices::beep()
{
    QApplication::beep();
}
