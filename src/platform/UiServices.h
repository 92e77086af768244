#pragma once
// Everything modal the program shows: message boxes, file dialogs and the
// beep. Windows and algorithms call this interface only, so tests install a
// recorder that answers from a script instead of blocking.

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <functional>

class QWidget;

enum class MsgButtons
{
    Ok,
    OkCancel,
    YesNo,
    YesNoCancel
};
enum class MsgIcon
{
    None,
    Information,
    Exclamation,
    Question,
    Critical
};
enum class MsgResult
{
    Ok,
    Cancel,
    Yes,
    No
};

struct FileDialogRequest
{
    QString title;
    QString filter;      // "Datendateien(*.qvm)|*.qvm|Alle Dateien|*.*"
    QString folder;      // start folder
    QString fileName;    // default name
    QString defaultExt;  // "qvm"
};

// The window a box or dialog belongs to: while a window handles the
// operator's input or runs a step of its own, it holds a DialogOwner, and
// every box and dialog shown meanwhile is parented on it. When the box
// closes, the window manager gives the focus back to that window, so the
// window the operator worked in is in front again. Scopes nest; an empty
// owner keeps the one around it.
class DialogOwner
{
public:
    explicit DialogOwner(QObject* window);
    ~DialogOwner();
    DialogOwner(const DialogOwner&) = delete;
    DialogOwner& operator=(const DialogOwner&) = delete;
    // The innermost owner still alive, or nullptr.
    static QObject* current();

private:
    QPointer<QObject> m_previous;
    bool m_set = false;
};

class IUiServices
{
public:
    virtual ~IUiServices() = default;
    virtual MsgResult message(const QString& text, const QString& title = {}, MsgButtons buttons = MsgButtons::Ok,
                              MsgIcon icon = MsgIcon::None) = 0;
    // The chosen path, or the empty text when cancelled.
    virtual QString openFile(const FileDialogRequest& request) = 0;
    virtual QString saveFile(const FileDialogRequest& request) = 0;
    virtual void beep() = 0;
};

// Turns a filter of the form "Text|*.ext|Text|*.*" into Qt's "Text (*.ext);;Text (*)".
QString qtFileFilter(const QString& pipeFilter);

// The real dialogs. A modal box runs a nested event loop; the main loop
// guards itself against the ticks that fire inside it. A box is parented on
// the current DialogOwner's window, else on the active window, else on the
// fallback parent (the main window); never on a hidden or disabled one,
// whose box would be disabled or placed off its window.
class QtUiServices final : public IUiServices
{
public:
    explicit QtUiServices(QWidget* parent = nullptr) : m_parent(parent) {}
    void setParent(QWidget* parent) { m_parent = parent; }
    MsgResult message(const QString& text, const QString& title, MsgButtons buttons, MsgIcon icon) override;
    QString openFile(const FileDialogRequest& request) override;
    QString saveFile(const FileDialogRequest& request) override;
    void beep() override;

private:
    QWidget* dialogParent() const;

    QWidget* m_parent;
};

// For tests: records every box and dialog and answers from queues. An empty
// answer queue answers Ok/Yes (the default button) and cancels file dialogs.
// `onMessage` runs while a box is "open", so a test can check what happens
// during a modal box (for example timer ticks).
class RecordingUiServices final : public IUiServices
{
public:
    struct Message
    {
        QString text;
        QString title;
        MsgButtons buttons;
        MsgIcon icon;
        QObject* owner;
    };

    MsgResult message(const QString& text, const QString& title, MsgButtons buttons, MsgIcon icon) override;
    QString openFile(const FileDialogRequest& request) override;
    QString saveFile(const FileDialogRequest& request) override;
    void beep() override { ++beeps; }

    QList<Message> messages;
    QList<FileDialogRequest> fileRequests;
    // The DialogOwner of each file dialog, in the order of fileRequests.
    QList<QObject*> fileOwners;
    QList<MsgResult> answers;
    QStringList fileAnswers;
    int beeps = 0;
    std::function<void(const Message&)> onMessage;

    QStringList texts() const;
    void clear();
};
