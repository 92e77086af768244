// The probe window in the frame: "Tastercenter" opens one more each time,
// the main loop initialises and reads it, its INIT button binds the probe
// windows' list window. With KELVANE_PROBE_SCREENSHOT=<file.png> the window
// reading an AK4 is also saved as a picture.

#include "InstallSequences.h"
#include "MenuNames.h"
#include "ParamsContext.h"
#include "ProbeBench.h"
#include "frm_AKIK.h"
#include "frm_init.h"
#include "frm_main.h"

#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPointer>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

namespace {

class FrmAkik : public ::testing::Test, public ProbeBench
{
protected:
    FrmAkik()
    {
        frame = std::make_unique<frm_main>(*core);
        frame->komma_frage = true;
        params = std::make_unique<ParamsContext>(core->ui(), frame->optionFlags(), core->transport());
        SequenceWindows& seq = installSequences(*frame, *params);
        ProbeTools tools;
        tools.bindInit = [&seq](int n) { seq.bindInit2(n); };
        tools.initBoundTo = [&seq] { return seq.init2BoundTo(); };
        tools.unloadInit = [&seq] { seq.unloadInit2(); };
        sequences = &seq;
        installProbes(*frame, tools);
        frame->show();
    }
    ~FrmAkik() override
    {
        frame.reset();
        params.reset();
    }

    frm_AKIK* openForm()
    {
        frame->menuEntry(Menu::TasterC)->trigger();
        auto* sub = frame->mdiArea()->subWindowList().last();
        return dynamic_cast<frm_AKIK*>(sub->widget());
    }
    // Picks an address as the operator does and lets the main loop run.
    void selectAxis(frm_AKIK* w, int addressTable, const QString& address, int ticks = 3)
    {
        auto* box = w->findChild<QComboBox*>(QStringLiteral("cb__Achsenauswahl_%1").arg(addressTable));
        box->setCurrentIndex(box->findText(address));
        emit box->activated(box->currentIndex());
        for (int i = 0; i < ticks; ++i)
            frame->Timer1_Timer();
    }
    QString text(frm_AKIK* w, const QString& name) { return w->findChild<QLineEdit*>(name)->text(); }

    std::unique_ptr<frm_main> frame;
    std::unique_ptr<ParamsContext> params;
    SequenceWindows* sequences = nullptr;
};

TEST_F(FrmAkik, ProbeCenterOpensAnotherWindowEachTime)
{
    frm_AKIK* a = openForm();
    frm_AKIK* b = openForm();
    ASSERT_TRUE(a && b && a != b);
    EXPECT_EQ(frame->CCT.numbers(), (QList<int>{1, 2}));
    EXPECT_EQ(frame->CCT_I, 2);  // the new window is the current one
    EXPECT_EQ(&b->core(), frame->CCT.item(2));
    EXPECT_EQ(b->parentWidget()->pos(), QPoint(40, 40));  // 2 × 300 twips
    EXPECT_EQ(a->windowTitle(), "AK - IK - ADA");
    EXPECT_TRUE(a->ui.cb__Achsenauswahl_0->isVisibleTo(a));
    EXPECT_FALSE(a->ui.cb__Achsenauswahl_3->isVisibleTo(a));
    a->parentWidget()->close();
    EXPECT_EQ(frame->CCT.numbers(), QList<int>{2});
}

TEST_F(FrmAkik, MainLoopInitialisesAndShowsLiveValues)
{
    board("21").setInput(1, 12.5);
    board("21").setInput(3, -250);
    frm_AKIK* w = openForm();
    frame->mdiArea()->setActiveSubWindow(qobject_cast<QMdiSubWindow*>(w->parentWidget()));
    EXPECT_EQ(frame->CCT_I, 1);
    w->ui.aktiv->click();
    selectAxis(w, 0, "21");
    EXPECT_EQ(w->windowTitle(), "AK4   21");
    EXPECT_EQ(w->core().sh_an_aus.colour, ProbeWindowCore::Green);
    EXPECT_EQ(text(w, "kanal_0"), "12,50");
    EXPECT_EQ(text(w, "kanal_2"), "-250,00");

    // A command from a button goes out on the next tick.
    QTest::mouseClick(w->ui.cmd_version, Qt::LeftButton);
    frame->Timer1_Timer();
    EXPECT_EQ(text(w, "lb_Fehler"), "[0VN]--->[0VN!AK V1.00]");

    if (const QString file = qEnvironmentVariable("KELVANE_PROBE_SCREENSHOT"); !file.isEmpty()) {
        board("21").setInput(2, 3.14159);
        board("21").setInput(4, 1234.5);
        board("21").setNoise(20);
        frame->Timer1_Timer();
        w->parentWidget()->grab().save(file);
    }
}

TEST_F(FrmAkik, UniversalWidensTheWindowAndInitBindsTheListWindow)
{
    frm_AKIK* w = openForm();
    frm_AKIK* other = openForm();
    const int narrow = w->parentWidget()->width();
    w->ui.cb_Unitauswahl->setCurrentIndex(ProbeWindowCore::Universal);
    emit w->ui.cb_Unitauswahl->activated(ProbeWindowCore::Universal);
    EXPECT_GT(w->parentWidget()->width(), narrow * 2 - 40);
    EXPECT_TRUE(w->ui.IK_check_5->isVisibleTo(w));

    QTest::mouseClick(w->ui.cmd_Init, Qt::LeftButton);
    ASSERT_NE(sequences->init2, nullptr);
    EXPECT_TRUE(sequences->init2->isVisible());
    EXPECT_EQ(sequences->init2BoundTo(), 1);
    EXPECT_EQ(w->core().cmd_Init.colour, ProbeWindowCore::Green);
    QTest::mouseClick(other->ui.cmd_Init, Qt::LeftButton);
    EXPECT_EQ(w->core().cmd_Init.colour, ProbeWindowCore::LightGray);
    EXPECT_EQ(other->core().cmd_Init.colour, ProbeWindowCore::Green);

    w->parentWidget()->close();
    EXPECT_TRUE(sequences->init2->isVisible());
    other->parentWidget()->close();
    EXPECT_FALSE(sequences->init2->isVisible());
    EXPECT_EQ(frame->CCT_I, 0);
}

TEST_F(FrmAkik, ClosedFromABoxOfItsOwnTickTheWindowGoesWhenTheTickHasReturned)
{
    frm_AKIK* w = openForm();
    w->ui.aktiv->click();
    selectAxis(w, 0, "21");
    const QPointer<frm_AKIK> alive(w);
    bool heldDuringBox = false;
    dialogs->onMessage = [&](const RecordingUiServices::Message&) {
        w->parentWidget()->close();
        QCoreApplication::processEvents();
        heldDuringBox = !alive.isNull() && frame->CCT.item(1) != nullptr;
    };
    w->core().tb_anzahl.text = "0";  // the board refuses this measurement
    w->core().tb_start.checked = true;
    w->core().tb_start_Click();
    frame->Timer1_Timer();
    EXPECT_TRUE(heldDuringBox);
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(alive.isNull());
    EXPECT_TRUE(frame->CCT.isEmpty());
    frame->Timer1_Timer();
}

TEST_F(FrmAkik, EntryBoxesRefuseSignsAndTheFactorBoxesTheSeparator)
{
    frm_AKIK* w = openForm();
    const auto typeInto = [w](const char* name, const QString& keys) {
        auto* box = w->findChild<QLineEdit*>(QLatin1String(name));
        box->clear();
        QTest::keyClicks(box, keys);
        return box->text();
    };
    EXPECT_EQ(typeInto("tb_abgleich", "-5,5"), "5,5");
    EXPECT_EQ(typeInto("tb_faktor", "2,5"), "25");
    EXPECT_EQ(typeInto("tb_gitter", "0.2"), "02");
    QTest::keyClick(w->findChild<QLineEdit*>("FaktorA_2"), Qt::Key_Return);
    EXPECT_EQ(w->focusWidget(), w->ui.cmd_Init);
}

}  // namespace
