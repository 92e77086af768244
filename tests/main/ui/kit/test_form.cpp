// The window kit: state shown through the bind table, program-set values that
// post nothing, operator input written back, key filters, and handlers that
// throw without taking the window down.

#include "ComboHeight.h"
#include "ControlState.h"
#include "Form.h"
#include "Guarded.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QFocusEvent>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

struct Core
{
    kit::Control lb_POS{.text = QStringLiteral("0.000")};
    kit::Control cmd_STOPP{.text = QStringLiteral("Stop")};
    kit::Control cb_IN;
    kit::Control text_SLM;
    kit::ListControl cb_adressenauswahl;
    kit::RangeControl sli_v{.value = 10, .min = 0, .max = 100};
    int clicks = 0;
    int changes = 0;
    int lostFocus = 0;
};

class FormTest : public ::testing::Test
{
protected:
    FormTest()
    {
        auto add = [this](QWidget* w, const char* name) {
            w->setObjectName(QLatin1String(name));
            w->setParent(&window);
            return w;
        };
        label = static_cast<QLabel*>(add(new QLabel, "lb_POS"));
        stop = static_cast<QPushButton*>(add(new QPushButton, "cmd_STOPP"));
        box = static_cast<QCheckBox*>(add(new QCheckBox, "cb_IN"));
        edit = static_cast<QLineEdit*>(add(new QLineEdit, "text_SLM"));
        combo = static_cast<QComboBox*>(add(new QComboBox, "cb_adressenauswahl"));
        bar = static_cast<QScrollBar*>(add(new QScrollBar(Qt::Horizontal), "sli_v"));
        form.label("lb_POS", core.lb_POS);
        form.button("cmd_STOPP", core.cmd_STOPP, [this] { ++core.clicks; });
        form.button("cb_IN", core.cb_IN);
        form.entry("text_SLM", core.text_SLM,
                   {.keys = kit::Keys::SignedDecimal, .lostFocus = [this] { ++core.lostFocus; }});
        form.list("cb_adressenauswahl", core.cb_adressenauswahl, [this] { ++core.clicks; });
        form.range("sli_v", core.sli_v, [this] { ++core.changes; });
        form.render();
    }

    QWidget window;
    kit::Form form{&window};
    Core core;
    QLabel* label = nullptr;
    QPushButton* stop = nullptr;
    QCheckBox* box = nullptr;
    QLineEdit* edit = nullptr;
    QComboBox* combo = nullptr;
    QScrollBar* bar = nullptr;
};

TEST_F(FormTest, ShowsTheCoreStateAndOnlyWhatChanged)
{
    EXPECT_EQ(label->text(), "0.000");
    EXPECT_EQ(bar->value(), 10);
    core.lb_POS.text = QStringLiteral("12.500");
    core.cmd_STOPP.enabled = false;
    core.cb_adressenauswahl.items = {QStringLiteral("01"), QStringLiteral("02")};
    core.cb_adressenauswahl.listIndex = 1;
    core.sli_v.visible = false;
    form.render();
    EXPECT_EQ(label->text(), "12.500");
    EXPECT_FALSE(stop->isEnabled());
    EXPECT_EQ(combo->count(), 2);
    EXPECT_EQ(combo->currentText(), "02");
    EXPECT_FALSE(bar->isVisibleTo(&window));
}

TEST_F(FormTest, ProgramSetValuesPostNothingAndAreNotClamped)
{
    core.sli_v.max = 50;
    core.sli_v.value = 40;
    form.render();
    EXPECT_EQ(core.changes, 0);
    EXPECT_EQ(bar->value(), 40);
    EXPECT_EQ(core.sli_v.value, 40);
    // The operator's move is written into the state before the handler runs.
    bar->setValue(45);
    EXPECT_EQ(core.sli_v.value, 45);
    EXPECT_EQ(core.changes, 1);
}

TEST_F(FormTest, OperatorInputReachesTheStateFirst)
{
    box->click();
    EXPECT_TRUE(core.cb_IN.checked);
    core.cb_adressenauswahl.items = {QStringLiteral("01"), QStringLiteral("02")};
    form.render();
    combo->activated(1);
    EXPECT_EQ(core.cb_adressenauswahl.listIndex, 1);
    EXPECT_EQ(core.cb_adressenauswahl.text, "02");
    window.show();
    edit->setFocus();
    QTest::keyClicks(edit, QStringLiteral("-1x2.5"));
    EXPECT_EQ(core.text_SLM.text, "-12.5");  // 'x' is filtered out
    core.text_SLM.text.clear();              // set back to what was drawn before the typing
    form.render();
    EXPECT_EQ(edit->text(), "");
    QFocusEvent out(QEvent::FocusOut);
    QCoreApplication::sendEvent(edit, &out);
    EXPECT_EQ(core.lostFocus, 1);
    QApplication::setActiveWindow(&window);
    for (const Qt::Key key : {Qt::Key_Tab, Qt::Key_Backtab}) {  // they leave the box, which checks it
        edit->setFocus();
        QTest::keyClick(edit, key);
    }
    EXPECT_EQ(core.lostFocus, 3);
}

// A plain-text box and an editable combo box show a state set back to what
// was drawn before the operator typed; Enter adds no entry of the box's own.
TEST(FormBinding, TypedBoxesShowTheStateSetBack)
{
    QWidget w;
    auto* editor = new QPlainTextEdit(&w);
    auto* zoom = new QComboBox(&w);
    editor->setObjectName(QStringLiteral("TEdit"));
    zoom->setObjectName(QStringLiteral("cb_zoom"));
    zoom->setEditable(true);
    kit::Control tEdit{.text = QStringLiteral("MF")};
    kit::ListControl cbZoom{.items = {QStringLiteral("1"), QStringLiteral("2")}, .listIndex = 0};
    kit::Form f(&w);
    f.entry("TEdit", tEdit);
    f.list("cb_zoom", cbZoom);
    f.render();
    QTest::keyClicks(zoom, QStringLiteral("7\r"));
    EXPECT_EQ(cbZoom.listIndex, 0);  // no index past the state's entries
    QTest::keyClicks(editor, QStringLiteral("7"));
    tEdit.text = QStringLiteral("MF");
    f.render();
    EXPECT_EQ(editor->toPlainText(), "MF");
}

TEST_F(FormTest, ThrowingHandlerIsReportedAndTheFormStaysUsable)
{
    QStringList failures;
    kit::setFailureSink([&](const QString& where, const QString& what) { failures << where + ": " + what; });
    kit::Form other(&window);
    kit::Control c;
    auto* b = new QPushButton(&window);
    b->setObjectName(QStringLiteral("cmd_bad"));
    other.button("cmd_bad", c, [&] {
        c.text = QStringLiteral("half done");
        throw std::runtime_error("no reply");
    });
    b->click();
    ASSERT_EQ(failures.size(), 1);
    EXPECT_TRUE(failures.first().contains("no reply"));
    EXPECT_EQ(b->text(), "half done");  // rendered even after the failure
    stop->click();
    EXPECT_EQ(core.clicks, 1);
    kit::setFailureSink({});
}

// A bar without a scroll handler acts once, on the thumb's release; one with
// a scroll handler acts at every step of the drag and once more on release.
TEST(FormBars, DragActsOnReleaseUnlessTheBarScrolls)
{
    struct Case
    {
        bool scrolls;
        int changesDuringDrag, scrollsDuringDrag, changesAfterRelease;
    };
    for (const Case& c : {Case{false, 0, 0, 1}, Case{true, 0, 3, 1}}) {
        QWidget w;
        auto* bar = new QScrollBar(Qt::Horizontal, &w);
        bar->setObjectName(QStringLiteral("sb_regelkreisH"));
        kit::RangeControl s{.value = 20, .min = 15, .max = 249};
        int changes = 0, scrolls = 0;
        QList<int> seen;
        kit::Form f(&w);
        f.range(
            "sb_regelkreisH", s,
            [&] {
                ++changes;
                seen << s.value;
            },
            c.scrolls ? kit::Handler([&] { ++scrolls; }) : kit::Handler());
        f.render();
        bar->setSliderDown(true);
        for (int v : {21, 22, 23})
            bar->setSliderPosition(v);
        EXPECT_EQ(changes, c.changesDuringDrag) << c.scrolls;
        EXPECT_EQ(scrolls, c.scrollsDuringDrag) << c.scrolls;
        f.render();  // a tick's render during the drag leaves the thumb where it is
        EXPECT_EQ(bar->sliderPosition(), 23);
        bar->setSliderDown(false);
        EXPECT_EQ(changes, c.changesAfterRelease) << c.scrolls;
        EXPECT_EQ(seen, QList<int>{23}) << c.scrolls;
        EXPECT_EQ(s.value, 23);
        // A press and release without a move is no change.
        bar->setSliderDown(true);
        bar->setSliderDown(false);
        EXPECT_EQ(changes, c.changesAfterRelease) << c.scrolls;
        // An arrow or key step is a change at once.
        bar->triggerAction(QAbstractSlider::SliderSingleStepAdd);
        EXPECT_EQ(changes, c.changesAfterRelease + 1) << c.scrolls;
        EXPECT_EQ(s.value, 24);
    }
}

// A control's own hidden flag follows its state, whether its frame is bound
// before or after it and whether the frame is shown in the same render.
TEST(FormVisibility, ControlInAFrameShownInTheSameRenderKeepsItsState)
{
    for (bool frameFirst : {true, false}) {
        QWidget w;
        auto* frame = new QFrame(&w);
        frame->setObjectName(QStringLiteral("interpol_0"));
        auto* option = new QPushButton(frame);
        option->setObjectName(QStringLiteral("wert0_3"));
        kit::Control frameState{.visible = false}, optionState;
        kit::Form f(&w);
        if (frameFirst)
            f.label("interpol_0", frameState);
        f.button("wert0_3", optionState);
        if (!frameFirst)
            f.label("interpol_0", frameState);
        f.render();
        w.show();
        EXPECT_TRUE(frame->isHidden());
        frameState.visible = true;
        optionState.visible = false;
        f.render();
        EXPECT_FALSE(frame->isHidden()) << frameFirst;
        EXPECT_TRUE(option->isHidden()) << frameFirst;
        EXPECT_FALSE(option->isVisible()) << frameFirst;
        optionState.visible = true;
        frameState.visible = false;
        f.render();
        EXPECT_FALSE(option->isHidden()) << frameFirst;
        EXPECT_TRUE(frame->isHidden()) << frameFirst;
    }
}

TEST(FormKeys, SignsAsEachFilterAllows)
{
    struct Case
    {
        kit::Keys keys;
        bool minus, plus, point, comma;
    };
    for (const Case& c :
         {Case{kit::Keys::Unsigned, false, false, false, false}, Case{kit::Keys::Signed, true, true, false, false},
          Case{kit::Keys::Decimal, false, false, true, false}, Case{kit::Keys::SignedDecimal, true, true, true, false},
          Case{kit::Keys::MinusDecimal, true, false, true, false}}) {
        const int k = int(c.keys);
        EXPECT_EQ(kit::keyAllowed(QLatin1Char('-'), c.keys, false), c.minus) << k;
        EXPECT_EQ(kit::keyAllowed(QLatin1Char('+'), c.keys, false), c.plus) << k;
        EXPECT_EQ(kit::keyAllowed(QLatin1Char('.'), c.keys, false), c.point) << k;
        EXPECT_EQ(kit::keyAllowed(QLatin1Char(','), c.keys, false), c.comma) << k;
        // Under a decimal comma the separators swap.
        EXPECT_EQ(kit::keyAllowed(QLatin1Char(','), c.keys, true), c.point) << k;
        EXPECT_EQ(kit::keyAllowed(QLatin1Char('.'), c.keys, true), false) << k;
    }
}

// Before a long wait the form whose handler runs shows what the handler has
// set so far, and whatever any form rendered is painted at once.
TEST(FormPaint, BusyFormIsRenderedAndPaintedBeforeALongWait)
{
    QWidget w;
    auto* save = new QPushButton(QStringLiteral("save"), &w);
    save->setObjectName(QStringLiteral("cmd_save"));
    auto* other = new QLabel(&w);
    other->setObjectName(QStringLiteral("lb_other"));
    kit::Control saveState{.text = QStringLiteral("save")}, otherState;
    QStringList painted;
    struct Log : QObject
    {
        QStringList* painted;
        QPushButton* b;
        bool eventFilter(QObject*, QEvent* e) override
        {
            if (e->type() == QEvent::Paint)
                *painted << b->text() + (b->isEnabled() ? "" : " (disabled)");
            return false;
        }
    } log;
    log.painted = &painted;
    log.b = save;
    kit::Form idle(&w);
    idle.label("lb_other", otherState);
    kit::Form f(&w);
    f.button("cmd_save", saveState, [&] {
        saveState.text = QStringLiteral("??");
        saveState.enabled = false;
        otherState.text = QStringLiteral("not yet");
        kit::Form::paintBeforeWait();  // the exchange's wait starts here
        saveState.text = QStringLiteral("[0ff01!]");
        saveState.enabled = true;
    });
    f.render();
    idle.render();
    w.show();
    QTest::qWait(50);
    save->installEventFilter(&log);
    painted.clear();
    save->click();
    EXPECT_TRUE(painted.contains("?? (disabled)")) << qPrintable(painted.join(" | "));
    EXPECT_TRUE(other->text().isEmpty());  // not inside a handler: not rendered
    EXPECT_EQ(save->text(), "[0ff01!]");
    kit::Form::paintBeforeWait();
    painted.clear();
    kit::Form::paintBeforeWait();  // nothing changed since: nothing painted
    EXPECT_TRUE(painted.isEmpty());
    // A cycle's render outside any handler (a tick) is painted as well.
    saveState.text = QStringLiteral("??");
    f.render();
    kit::Form::paintBeforeWait();
    EXPECT_EQ(painted, QStringList{"??"});
}

TEST(Guarded, ReturnsTheFallbackWhenTheStepThrows)
{
    EXPECT_EQ(kit::guarded(
                  "step", [] { return 7; }, -1),
              7);
    EXPECT_EQ(kit::guarded(
                  "step", []() -> int { throw 3; }, -1),
              -1);
}

TEST(FormBinding, UnknownControlIsAFaultOfTheBindTable)
{
    QWidget w;
    kit::Form f(&w);
    kit::Control c;
    EXPECT_THROW(f.label("lb_missing", c), std::logic_error);
}

}  // namespace

TEST(ComboHeight, OpensAsManyRowsAsFitAndAtLeastOne)
{
    QComboBox box;
    for (int i = 0; i < 33; ++i)
        box.addItem(QString::number(i, 16).rightJustified(2, QLatin1Char('0')).toUpper());
    kit::combo_hoehe(box, 750);
    EXPECT_GT(box.maxVisibleItems(), 10);
    EXPECT_LE(box.view()->maximumHeight(), 750);
    kit::combo_hoehe(box, 0);
    EXPECT_EQ(box.maxVisibleItems(), 1);
}
