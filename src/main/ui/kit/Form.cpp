#include "Form.h"

#include "Format.h"
#include "Guarded.h"
#include "UiServices.h"

#include <QAbstractButton>
#include <QAbstractSlider>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMdiSubWindow>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QScopedValueRollback>
#include <QSignalBlocker>
#include <QTextEdit>
#include <QTimer>

#include <algorithm>
#include <variant>

namespace kit {

namespace {
enum Kind
{
    KindLabel,
    KindButton,
    KindEntry,
    KindList,
    KindRange,
    KindLamp,
    KindMouse,
};

QString styleFor(const QWidget* w, quint32 back, quint32 fore)
{
    if (back == DefaultColour && fore == DefaultColour)
        return {};
    QString rules;
    if (back != DefaultColour)
        rules += QStringLiteral("background-color: %1;").arg(bgrColor(back).name());
    if (fore != DefaultColour)
        rules += QStringLiteral("color: %1;").arg(bgrColor(fore).name());
    // Scoped to the widget's own class so that a frame's children keep theirs.
    return QStringLiteral("%1 { %2 }").arg(QLatin1String(w->metaObject()->className()), rules);
}

QStringList itemsOf(const QComboBox* c)
{
    QStringList items;
    items.reserve(c->count());
    for (int i = 0; i < c->count(); ++i)
        items << c->itemText(i);
    return items;
}

QStringList itemsOf(const QListWidget* l)
{
    QStringList items;
    items.reserve(l->count());
    for (int i = 0; i < l->count(); ++i)
        items << l->item(i)->text();
    return items;
}

int buttonNumber(Qt::MouseButton b)
{
    switch (b) {
    case Qt::LeftButton: return 1;
    case Qt::RightButton: return 2;
    case Qt::MiddleButton: return 4;
    default: return 0;
    }
}
}  // namespace

bool keyAllowed(QChar c, Keys keys, bool decimalComma)
{
    if (keys == Keys::Any || c == QChar(8))
        return true;
    if (c.unicode() < 128 && c.isDigit())
        return true;
    const QChar separator = decimalComma ? QLatin1Char(',') : QLatin1Char('.');
    switch (keys) {
    case Keys::Unsigned: return false;
    case Keys::Signed: return c == QLatin1Char('-') || c == QLatin1Char('+');
    case Keys::Decimal: return c == separator;
    case Keys::SignedDecimal: return c == separator || c == QLatin1Char('-') || c == QLatin1Char('+');
    case Keys::MinusDecimal: return c == separator || c == QLatin1Char('-');
    case Keys::Hex:
        return (c >= QLatin1Char('A') && c <= QLatin1Char('F')) || (c >= QLatin1Char('a') && c <= QLatin1Char('f'));
    case Keys::Any: return true;
    }
    return false;
}

bool keyPasses(const QKeyEvent& k, Keys keys, bool decimalComma)
{
    const QString t = k.text();
    if (keys == Keys::Any || t.isEmpty() || (k.modifiers() & Qt::ControlModifier))
        return true;
    switch (k.key()) {
    case Qt::Key_Backspace:
    case Qt::Key_Delete:
    case Qt::Key_Tab:
    case Qt::Key_Backtab: return true;
    default: break;
    }
    return std::all_of(t.begin(), t.end(), [&](QChar c) { return keyAllowed(c, keys, decimalComma); });
}

struct Form::Binding
{
    int kind = KindLabel;
    QWidget* widget = nullptr;
    std::variant<std::monostate, Control*, const Control*, ListControl*, RangeControl*> state;
    std::variant<std::monostate, Control, ListControl, RangeControl> shown;
    bool first = true;
    Handler click;
    EntryEvents entry;
    Handler lostFocus;
    std::function<void(int)> mouse;
    quint32 shownBack = DefaultColour;
    quint32 shownFore = DefaultColour;
    bool dragged = false;  // a bar's thumb moved since it was pressed

    const Control* control() const
    {
        if (auto p = std::get_if<Control*>(&state))
            return *p;
        if (auto p = std::get_if<const Control*>(&state))
            return *p;
        return nullptr;
    }
};

namespace {
// The forms whose operator step is running, innermost last, and every form
// that exists (one UI thread).
std::vector<Form*>& busyForms()
{
    static std::vector<Form*> forms;
    return forms;
}
std::vector<Form*>& allForms()
{
    static std::vector<Form*> forms;
    return forms;
}
}  // namespace

Form::Form(QWidget* root) : QObject(root), m_root(root)
{
    allForms().push_back(this);
}

Form::~Form()
{
    for (auto* list : {&busyForms(), &allForms()})
        list->erase(std::remove(list->begin(), list->end(), this), list->end());
}

QWidget* Form::widget(const QString& name) const
{
    if (m_root->objectName() == name)
        return m_root;
    if (auto* w = m_root->findChild<QWidget*>(name))
        return w;
    throw std::logic_error("form has no control " + name.toStdString());
}

Form::Binding& Form::add(const QString& name, int kind)
{
    auto b = std::make_unique<Binding>();
    b->kind = kind;
    b->widget = widget(name);
    Binding& ref = *b;
    m_bindings.push_back(std::move(b));
    m_byWidget.insert(ref.widget, &ref);
    ref.widget->installEventFilter(this);
    // An editable combo box keeps the focus itself and hands keys and focus
    // changes to its line edit by direct calls, which no event filter sees:
    // a key filter for it belongs on the box. Its line edit is watched too,
    // for events sent to it directly.
    if (auto* c = qobject_cast<QComboBox*>(ref.widget); c && c->lineEdit()) {
        m_byWidget.insert(c->lineEdit(), &ref);
        c->lineEdit()->installEventFilter(this);
    }
    return ref;
}

void Form::label(const QString& name, const Control& s, Handler click)
{
    Binding& b = add(name, KindLabel);
    b.state = &s;
    b.click = std::move(click);
}

void Form::button(const QString& name, Control& s, Handler click)
{
    Binding& b = add(name, KindButton);
    b.state = &s;
    auto* button = qobject_cast<QAbstractButton*>(b.widget);
    if (!button)
        throw std::logic_error("not a button: " + name.toStdString());
    connect(button, &QAbstractButton::clicked, this, [this, &s, button, click = std::move(click)](bool on) {
        if (m_rendering)
            return;
        handle("button", [&] {
            if (button->isCheckable())
                s.checked = on;
            if (click)
                click();
        });
    });
}

void Form::entry(const QString& name, Control& s, EntryEvents events)
{
    Binding& b = add(name, KindEntry);
    b.state = &s;
    b.entry = std::move(events);
    Binding* bp = &b;
    const auto edited = [this, &s, bp](const QString& text) {
        if (m_rendering)
            return;
        s.text = text;
        // What was drawn is the typed text now: a state set back to the text
        // drawn before is drawn again, not skipped as unchanged.
        if (auto* shown = std::get_if<Control>(&bp->shown))
            shown->text = text;
        if (bp->entry.change)
            handle("entry", bp->entry.change);
    };
    if (auto* e = qobject_cast<QLineEdit*>(b.widget)) {
        connect(e, &QLineEdit::textEdited, this, edited);
    } else if (auto* p = qobject_cast<QPlainTextEdit*>(b.widget)) {
        connect(p, &QPlainTextEdit::textChanged, this, [p, edited] { edited(p->toPlainText()); });
    } else if (auto* t = qobject_cast<QTextEdit*>(b.widget)) {
        connect(t, &QTextEdit::textChanged, this, [t, edited] { edited(t->toPlainText()); });
    } else {
        throw std::logic_error("not an entry box: " + name.toStdString());
    }
}

void Form::list(const QString& name, ListControl& s, Handler click, Handler lostFocus)
{
    Binding& b = add(name, KindList);
    b.state = &s;
    b.lostFocus = std::move(lostFocus);
    if (auto* c = qobject_cast<QComboBox*>(b.widget)) {
        // The entries are the state's: Enter in an editable box adds none of
        // its own, which would hand the state an index past its entries.
        c->setInsertPolicy(QComboBox::NoInsert);
        connect(c, &QComboBox::activated, this, [this, &s, c, click = std::move(click)](int i) {
            if (m_rendering)
                return;
            handle("list", [&] {
                s.listIndex = i;
                s.text = c->itemText(i);
                if (click)
                    click();
            });
        });
        connect(c, &QComboBox::editTextChanged, this, [this, &s](const QString& t) {
            if (!m_rendering)
                s.text = t;
        });
    } else if (auto* l = qobject_cast<QListWidget*>(b.widget)) {
        connect(l, &QListWidget::currentRowChanged, this, [this, &s, click = std::move(click)](int row) {
            if (m_rendering)
                return;
            handle("list", [&] {
                s.listIndex = row;
                if (click)
                    click();
            });
        });
    } else {
        throw std::logic_error("not a list: " + name.toStdString());
    }
}

void Form::range(const QString& name, RangeControl& s, Handler change, Handler scroll)
{
    Binding& b = add(name, KindRange);
    b.state = &s;
    auto* slider = qobject_cast<QAbstractSlider*>(b.widget);
    if (!slider)
        throw std::logic_error("not a bar: " + name.toStdString());
    // Without a scroll handler the bar's value stays put while the thumb is
    // dragged and is set once on its release.
    const bool scrolls = bool(scroll);
    slider->setTracking(scrolls);
    Binding* bp = &b;
    connect(slider, &QAbstractSlider::valueChanged, this,
            [this, &s, slider, bp, change, scroll = std::move(scroll)](int v) {
                if (m_rendering)
                    return;
                if (scroll && slider->isSliderDown()) {
                    bp->dragged = true;
                    handle("range scroll", [&] {
                        s.value = v;
                        scroll();
                    });
                    return;
                }
                handle("range", [&] {
                    s.value = v;
                    if (change)
                        change();
                });
            });
    if (scrolls) {
        // A tracking bar has its value already when the thumb is let go; the
        // release is the change that ends the drag.
        connect(slider, &QAbstractSlider::sliderReleased, this, [this, &s, slider, bp, change = std::move(change)] {
            if (m_rendering || !bp->dragged)
                return;
            bp->dragged = false;
            handle("range", [&] {
                s.value = slider->value();
                if (change)
                    change();
            });
        });
    }
}

void Form::lamp(const QString& name, const Control& s)
{
    Binding& b = add(name, KindLamp);
    b.state = &s;
}

void Form::mouseUp(const QString& name, std::function<void(int)> handler)
{
    Binding& b = add(name, KindMouse);
    b.mouse = std::move(handler);
}

void Form::caption(const QString& s)
{
    m_caption = &s;
}

void Form::handle(const char* where, const Handler& fn)
{
    if (m_rendering)
        return;
    {
        auto& busy = busyForms();
        busy.push_back(this);
        struct Leave
        {
            Form* form;
            ~Leave()
            {
                auto& b = busyForms();
                if (auto it = std::find(b.rbegin(), b.rend(), form); it != b.rend())
                    b.erase(std::next(it).base());
            }
        } leave{this};
        // Boxes and dialogs the step shows belong to this window.
        const DialogOwner owner(m_root);
        guarded(where, fn);
    }
    if (m_after)
        guarded("after event", m_after);
    render();
}

void Form::render()
{
    if (m_rendering)
        return;
    const QScopedValueRollback<bool> rendering(m_rendering, true);
    if (m_caption && m_root->windowTitle() != *m_caption)
        m_root->setWindowTitle(*m_caption);
    for (const auto& bp : m_bindings) {
        Binding& b = *bp;
        QWidget* w = b.widget;
        const QSignalBlocker blocker(w);
        bool enabled = true;
        bool visible = true;
        quint32 back = DefaultColour;
        quint32 fore = DefaultColour;
        if (const Control* s = b.control()) {
            enabled = s->enabled;
            visible = s->visible;
            back = s->colour;
            fore = s->foreColour;
            const auto* shown = std::get_if<Control>(&b.shown);
            const bool changed = b.first || !shown || !(*shown == *s);
            if (changed || b.kind == KindButton) {
                switch (b.kind) {
                case KindLabel:
                    if (auto* l = qobject_cast<QLabel*>(w); l && l->text() != s->text)
                        l->setText(s->text);
                    break;
                case KindButton: {
                    // A click on an option that is already on unticks the widget
                    // without changing the state: it is put back even then.
                    auto* a = static_cast<QAbstractButton*>(w);
                    if (changed && a->text() != s->text && !s->text.isNull())
                        a->setText(s->text);
                    if (a->isCheckable() && a->isChecked() != s->checked)
                        a->setChecked(s->checked);
                    break;
                }
                case KindEntry:
                    if (auto* e = qobject_cast<QLineEdit*>(w)) {
                        if (e->text() != s->text) {
                            e->setText(s->text);
                            // A box nobody types in shows the value's
                            // beginning, not its scrolled-in tail.
                            if (e->isReadOnly())
                                e->setCursorPosition(0);
                        }
                    } else if (auto* p = qobject_cast<QPlainTextEdit*>(w)) {
                        if (p->toPlainText() != s->text)
                            p->setPlainText(s->text);
                    } else if (auto* t = qobject_cast<QTextEdit*>(w)) {
                        if (t->toPlainText() != s->text)
                            t->setPlainText(s->text);
                    }
                    break;
                default: break;
                }
                b.shown = *s;
            }
        } else if (auto* const* lp = std::get_if<ListControl*>(&b.state)) {
            const ListControl& s = **lp;
            enabled = s.enabled;
            visible = s.visible;
            if (auto* c = qobject_cast<QComboBox*>(w)) {
                if (itemsOf(c) != s.items) {
                    c->clear();
                    c->addItems(s.items);
                }
                if (c->currentIndex() != s.listIndex)
                    c->setCurrentIndex(s.listIndex);
                if (c->isEditable() && c->currentText() != s.text)
                    c->setEditText(s.text);
            } else if (auto* l = qobject_cast<QListWidget*>(w)) {
                if (itemsOf(l) != s.items) {
                    l->clear();
                    l->addItems(s.items);
                }
                if (l->currentRow() != s.listIndex)
                    l->setCurrentRow(s.listIndex);
            }
        } else if (auto* const* rp = std::get_if<RangeControl*>(&b.state)) {
            const RangeControl& s = **rp;
            enabled = s.enabled;
            visible = s.visible;
            auto* bar = static_cast<QAbstractSlider*>(w);
            if (bar->minimum() != s.min || bar->maximum() != s.max)
                bar->setRange(s.min, s.max);
            if (bar->singleStep() != s.smallChange)
                bar->setSingleStep(s.smallChange);
            if (bar->pageStep() != s.largeChange)
                bar->setPageStep(s.largeChange);
            if (bar->value() != s.value)
                bar->setValue(s.value);
        } else {
            continue;  // mouse-only binding
        }
        if (b.first || back != b.shownBack || fore != b.shownFore) {
            if (b.kind == KindLamp) {
                const QColor c = back == DefaultColour ? QColor(Qt::gray) : bgrColor(back);
                w->setStyleSheet(QStringLiteral("background-color: %1; border: 1px solid #404040;").arg(c.name()));
            } else {
                w->setStyleSheet(styleFor(w, back, fore));
            }
            b.shownBack = back;
            b.shownFore = fore;
        }
        if (w->isEnabled() != enabled)
            w->setEnabled(enabled);
        // The widget's own flag, set explicitly on the first render: a control
        // inside a frame that is hidden (or shown only further down this
        // render) still gets its own.
        if (w != m_root && (b.first || w->isHidden() == visible))
            w->setVisible(visible);
        b.first = false;
    }
    m_unpainted = true;
}

bool Form::eventFilter(QObject* watched, QEvent* event)
{
    if (m_rendering || !m_byWidget.contains(watched))
        return QObject::eventFilter(watched, event);
    // A widget may carry more than one binding (a button with a mouse handler).
    const QList<Binding*> bindings = m_byWidget.values(watched);
    for (Binding* b : bindings) {
        switch (event->type()) {
        case QEvent::KeyPress:
            if (b->kind == KindEntry) {
                auto* k = static_cast<QKeyEvent*>(event);
                if ((k->key() == Qt::Key_Return || k->key() == Qt::Key_Enter) && b->entry.enter) {
                    handle("enter", b->entry.enter);
                    return true;
                }
                if (!keyPasses(*k, b->entry.keys, m_comma && m_comma()))
                    return true;
            }
            break;
        case QEvent::FocusOut:
            if (b->kind == KindEntry && b->entry.lostFocus)
                handle("lost focus", b->entry.lostFocus);
            else if (b->kind == KindList && b->lostFocus)
                handle("lost focus", b->lostFocus);
            break;
        case QEvent::MouseButtonRelease: {
            auto* m = static_cast<QMouseEvent*>(event);
            if (b->kind == KindMouse && b->mouse && b->widget->isEnabled()) {
                const int button = buttonNumber(m->button());
                const auto handler = b->mouse;
                handle("mouse", [&] { handler(button); });
            } else if (b->kind == KindLabel && b->click && m->button() == Qt::LeftButton && b->widget->isEnabled()) {
                handle("click", b->click);
            }
            break;
        }
        default: break;
        }
    }
    return QObject::eventFilter(watched, event);
}

void Form::paintBeforeWait()
{
    // Each busy form once (a handler may run inside another of its form).
    std::vector<Form*> busy = busyForms();
    std::sort(busy.begin(), busy.end());
    busy.erase(std::unique(busy.begin(), busy.end()), busy.end());
    for (Form* f : busy)
        guarded("paint before a long wait", [f] { f->render(); });
    // Then every window that rendered since: also one whose cycle set its
    // controls from a tick.
    std::vector<QWidget*> windows;
    for (Form* f : allForms()) {
        if (!f->m_unpainted)
            continue;
        f->m_unpainted = false;
        if (QWidget* top = f->m_root->window(); std::find(windows.begin(), windows.end(), top) == windows.end())
            windows.push_back(top);
    }
    for (QWidget* top : windows)
        paintNow(top);
}

void paintNow(QWidget* window)
{
    if (!window)
        return;
    QWidget* top = window->window();
    if (!top->isVisible())
        return;
    // The pending update request, delivered now: paints the dirty regions
    // and flushes them to the screen.
    QEvent request(QEvent::UpdateRequest);
    QCoreApplication::sendEvent(top, &request);
}

bool deferCloseWhileBusy(QWidget* window, QCloseEvent* event, bool busy)
{
    if (!busy)
        return false;
    event->ignore();
    QTimer::singleShot(0, window, [window] {
        if (auto* sub = qobject_cast<QMdiSubWindow*>(window->parentWidget()))
            sub->close();
        else
            window->close();
    });
    return true;
}

}  // namespace kit
