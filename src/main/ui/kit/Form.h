#pragma once
// Binds a widget-free core's control state to the widgets of a form by object
// name, and runs the operator's input through guarded handlers.
//
//     kit::Form f(this);                          // after ui.setupUi(this)
//     f.label("lb_POS", m_core.lb_POS);
//     f.button("cmd_STOPP", m_core.cmd_STOPP, [this] { m_core.cmd_STOPP_Click(); });
//     f.entry("text_SLM", m_core.text_SLM, {.keys = kit::Keys::SignedDecimal,
//                                            .lostFocus = [this] { m_core.text_SLM_LostFocus(); }});
//     f.render();
//
// The widget writes what the operator did into the state first (text typed,
// box ticked, entry chosen, bar moved), then the handler runs, then every
// bound control is rendered again. `render()` changes only widgets that show
// something other than their state (what the operator typed counts as shown),
// with their signals blocked, so a value the program sets never looks like the
// operator's input and is never clamped by a widget and sent.
// Control arrays made in code are bound the same way: give each widget an
// object name (`pZeile_3`) and a parent inside the form.

#include "ControlState.h"

#include <QHash>
#include <QObject>
#include <QString>
#include <QWidget>

class QCloseEvent;
class QKeyEvent;

#include <functional>
#include <memory>
#include <stdexcept>
#include <vector>

namespace kit {

using Handler = std::function<void()>;

// Which characters an entry box accepts as typed (Backspace, Delete, cursor
// keys, shortcuts, Tab and Backtab always pass). The decimal separator is the
// one the form's comma rule gives.
enum class Keys
{
    Any,
    Unsigned,       // 0-9
    Signed,         // 0-9 + -
    Decimal,        // 0-9 and the separator
    SignedDecimal,  // 0-9, the separator, + -
    MinusDecimal,   // 0-9, the separator, - (no +)
    Hex,            // 0-9 A-F a-f
};

// Whether a typed character passes `keys`.
bool keyAllowed(QChar c, Keys keys, bool decimalComma);
// Whether a key press reaches a box filtered by `keys`: keys without text,
// Backspace, Delete, shortcuts, and Tab and Backtab (they move the focus,
// which checks the box) always; typed characters as keyAllowed says.
bool keyPasses(const QKeyEvent& k, Keys keys, bool decimalComma);

struct EntryEvents
{
    Keys keys = Keys::Any;
    Handler change{};     // after every edit by the operator (the state holds the new text)
    Handler enter{};      // Return or Enter; consumed when set
    Handler lostFocus{};  // the box lost the focus
};

class Form : public QObject
{
public:
    // `root` is the form (the window, after setupUi); it must outlive this object.
    explicit Form(QWidget* root);
    ~Form() override;

    // The decimal separator that Decimal keys accept (default: ".").
    void setDecimalComma(std::function<bool()> comma) { m_comma = std::move(comma); }
    // Runs after every handler, before the render (a window's own drawing).
    void setAfterEvent(Handler after) { m_after = std::move(after); }

    // The widget with this object name below the form; throws std::logic_error
    // for a name the form does not have (a fault of the window's bind table).
    QWidget* widget(const QString& name) const;
    template <class W>
    W* get(const QString& name) const
    {
        auto* w = qobject_cast<W*>(widget(name));
        if (!w)
            throw std::logic_error("form control has another type: " + name.toStdString());
        return w;
    }

    // --- Bind table ---------------------------------------------------------------------------
    // QLabel (its text) or any widget (colour, enabled, visible); a click handler
    // runs on the left mouse button's release.
    void label(const QString& name, const Control& s, Handler click = {});
    // QAbstractButton. A checkable one (check box, option button) writes its
    // check state into `s.checked` before `click` runs.
    void button(const QString& name, Control& s, Handler click = {});
    // QLineEdit, QPlainTextEdit or QTextEdit (plain text). A read-only line
    // edit shows the text's beginning.
    void entry(const QString& name, Control& s, EntryEvents events = {});
    // QComboBox or QListWidget. The chosen entry is written into `listIndex`
    // (and, for a combo box, `text`) before `click` runs; an editable combo
    // box writes what is typed into `text` and never adds an entry itself.
    void list(const QString& name, ListControl& s, Handler click = {}, Handler lostFocus = {});
    // QAbstractSlider (scroll bar, slider). The new value is written into
    // `s.value` before a handler runs. `change` runs when the value is set:
    // the thumb released after a drag, an arrow or trough click, a key, the
    // wheel. `scroll` runs at every step while the thumb is dragged. A bar
    // without a scroll handler does not follow a drag: its value (and
    // `change`) comes once, when the thumb is released.
    void range(const QString& name, RangeControl& s, Handler change = {}, Handler scroll = {});
    // A lamp: a widget filled with the state's colour (grey for the default).
    void lamp(const QString& name, const Control& s);
    // Mouse button release on a widget: 1 = left, 2 = right, 4 = middle.
    void mouseUp(const QString& name, std::function<void(int button)> handler);
    // The form's caption.
    void caption(const QString& s);

    // --- Running ------------------------------------------------------------------------------
    // Shows every bound state that changed since it was last shown.
    void render();
    bool rendering() const { return m_rendering; }
    // Runs an operator step through kit::guarded, then the after-event hook and
    // the render. Input that arrives while the form renders is ignored.
    void handle(const char* where, const Handler& fn);

    // Shows, before a long wait, what the program has set so far: every form
    // inside `handle` renders its state, and every window that rendered since
    // its last paint paints the changed controls at once, without running an
    // event loop (an exchange that waits seconds would otherwise leave the
    // window frozen at its last painted look). For the bus transport's
    // long-wait hook.
    static void paintBeforeWait();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Binding;
    Binding& add(const QString& name, int kind);

    QWidget* m_root;
    std::vector<std::unique_ptr<Binding>> m_bindings;
    QMultiHash<QObject*, Binding*> m_byWidget;
    std::function<bool()> m_comma;
    Handler m_after;
    const QString* m_caption = nullptr;
    bool m_rendering = false;
    bool m_unpainted = false;  // rendered since paintBeforeWait last painted it
};

// A window closed from a box that one of its own cycles opened: the cycle
// still uses the window, so the close is refused now and asked for again
// (of its MDI sub-window, if it sits in one) once the event loop is back.
// True when the close was put off.
bool deferCloseWhileBusy(QWidget* window, QCloseEvent* event, bool busy);

// Paints the controls of `window`'s top-level window that changed since its
// last paint, now, without an event loop. Does nothing for a hidden window.
void paintNow(QWidget* window);

}  // namespace kit
