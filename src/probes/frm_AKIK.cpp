#include "frm_AKIK.h"

#include "CoreContext.h"
#include "Format.h"
#include "Guarded.h"
#include "frm_main.h"

#include <QCloseEvent>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QTimer>

frm_AKIK::frm_AKIK(ProbeWindowEnv env, QWidget* parent) : QWidget(parent), m_core(std::move(env))
{
    ui.setupUi(this);
    setAttribute(Qt::WA_DeleteOnClose);
    m_core.setView({this, [this] { render(); }, [this] { ui.cmd_Init->setFocus(Qt::OtherFocusReason); }});
    bind();
    m_core.Form_Load();
    render();
}

frm_AKIK::~frm_AKIK()
{
    // The core outlives the widgets by a moment: it must not draw into them.
    m_core.setView({this, {}, {}});
}

void frm_AKIK::bind()
{
    ProbeWindowCore& c = m_core;
    kit::Form& f = m_form;
    f.setDecimalComma([&c] { return c.usesComma(); });
    f.setAfterEvent([this] { showSpecial(); });
    const auto name = [](const char* base, int i) { return QStringLiteral("%1_%2").arg(QLatin1String(base)).arg(i); };

    f.list("cb_Unitauswahl", c.cb_Unitauswahl, [&c] { c.cb_Unitauswahl_Click(); });
    for (int e = 0; e < 5; ++e)
        f.list(name("cb__Achsenauswahl", e), c.cb__Achsenauswahl[std::size_t(e)],
               [&c, e] { c.cb__Achsenauswahl_Click(e); });
    f.button("aktiv", c.aktiv_box);
    f.lamp("sh_an_aus", c.sh_an_aus);
    f.entry("lb_Fehler", c.lb_Fehler);
    const auto init = [this] { ui.cmd_Init->setFocus(Qt::OtherFocusReason); };
    for (int i = 0; i < ProbeWindowCore::ChannelCount; ++i) {
        const auto k = std::size_t(i);
        f.label(QStringLiteral("Frame%1").arg(i + 1), c.Frame[k]);
        f.button(name("Check1", i), c.Check1[k], [&c, i] { c.Check1_Click(i); });
        f.button(name("IK_check", i), c.IK_check[k]);
        f.button(name("AI_check", i), c.AI_check[k]);
        f.entry(name("kanal", i), c.kanal[k]);
        f.entry(name("FaktorA", i), c.FaktorA[k], {.keys = kit::Keys::Decimal, .enter = init});
        f.button(name("cmd_ZaehlerNull", i), c.cmd_ZaehlerNull[k], [&c, i] { c.cmd_ZaehlerNull_Click(i); });
        f.mouseUp(name("cmd_ZaehlerNull", i), [&c, i](int button) { c.cmd_ZaehlerNull_MouseUp(i, button); });
    }
    f.entry("tb_faktor", c.tb_faktor, {.keys = kit::Keys::Unsigned});
    f.entry("tb_faktorAI", c.tb_faktorAI, {.keys = kit::Keys::Unsigned});
    f.entry("tb_gitter", c.tb_gitter, {.keys = kit::Keys::Decimal});
    f.label("lb_gitter", c.lb_gitter);
    for (int n = 1; n <= 8; ++n) {
        f.button(name("wert0", n), c.wert0[std::size_t(n)], [&c, n] { c.wert0_Click(n); });
        f.button(name("wert1", n), c.wert1[std::size_t(n)], [&c, n] { c.wert1_Click(n); });
    }
    for (int k = 0; k < 2; ++k) {
        f.label(name("interpol", k), c.interpol[std::size_t(k)]);
        f.label(name("Frame5", k), c.Frame5[std::size_t(k)]);
        const int index = k + 3;
        // The output follows the slider while it is dragged.
        const auto output = [&c, index] { c.sb_v_Change(index); };
        f.range(name("sb_v", index), c.sb_v[std::size_t(k)], output, output);
        f.label(name("Label3", index), c.Label3[std::size_t(k)]);
    }
    f.label("Rahmen1", c.Rahmen1);
    // A press with any button sends the sample time, also the one already chosen.
    for (int i = 0; i < 7; ++i) {
        f.button(name("Option5", i), c.Option5[std::size_t(i)], [&c, i] { c.Option5_MouseDown(i); });
        f.mouseUp(name("Option5", i), [&c, i](int button) {
            if (button != 1)
                c.Option5_MouseDown(i);
        });
    }
    f.list("cb_abgleich", c.cb_abgleich);
    f.entry("tb_abgleich", c.tb_abgleich, {.keys = kit::Keys::Decimal});
    f.button("cmd_Abgleich", c.cmd_Abgleich, [&c] { c.cmd_Abgleich_Click(); });
    f.mouseUp("cmd_Abgleich", [&c](int button) { c.cmd_Abgleich_MouseUp(button); });
    f.entry("tb_achse", c.tb_achse);
    f.entry("tb_anzahl", c.tb_anzahl);
    f.entry("tb_startposition", c.tb_startposition);
    f.entry("tb_delta", c.tb_delta);
    f.button("tb_start", c.tb_start, [&c] { c.tb_start_Click(); });
    f.label("lb_messpunkte", c.lb_messpunkte);
    f.entry("tb_encoder", c.tb_encoder);
    f.entry("tb_gear", c.tb_gear);
    f.entry("tb_pitch", c.tb_pitch);
    f.entry("tb_tperiod", c.tb_tperiod);
    f.button("tb_read", c.tb_read, [&c] { c.tb_read_Click(); });
    f.button("tb_write", c.tb_write, [&c] { c.tb_write_Click(); });
    f.button("cmd_sign", c.cmd_sign, [&c] { c.cmd_sign_Click(); });
    f.button("cmd_status", c.cmd_status, [&c] { c.cmd_status_Click(); });
    f.button("cmd_version", c.cmd_version, [&c] { c.cmd_version_Click(); });
    f.button("cmd_Init", c.cmd_Init, [&c] { c.cmd_Init_Click(); });
}

void frm_AKIK::closeEvent(QCloseEvent* event)
{
    // Closed from a box that a running cycle opened: the close waits
    // until the cycle has returned.
    if (kit::deferCloseWhileBusy(this, event, m_core.isInCycle()))
        return;
    if (!m_unloaded) {
        m_unloaded = true;
        kit::guarded("frm_AKIK Form_Unload", [this] { m_core.Form_Unload(); });
    }
    event->accept();
}

void frm_AKIK::render()
{
    if (m_form.rendering())
        return;
    m_form.render();
    showSpecial();
}

void frm_AKIK::showSpecial()
{
    if (windowTitle() != m_core.Caption)
        setWindowTitle(m_core.Caption);
    for (int n = 1; n <= 8; ++n) {
        const QString& tip = m_core.valueTip[std::size_t(n)];
        for (const char* group : {"wert0_%1", "wert1_%1"}) {
            QWidget* option = m_form.widget(QString::fromLatin1(group).arg(n));
            if (option->toolTip() != tip)
                option->setToolTip(tip);
        }
    }
    // The captions of the factor boxes come and go with them.
    ui.lb_factor->setVisible(m_core.tb_faktor.visible);
    ui.lb_faktorAI->setVisible(m_core.tb_faktorAI.visible);
    ui.fr_calibration->setVisible(m_core.cmd_Abgleich.visible);
    if (m_shownWidth != m_core.BoxWidth)
        setWidth();
}

void frm_AKIK::setWidth()
{
    // The board type sets the window's width; channels 5 to 8 lie beyond
    // the normal width and come into view only in the wide one.
    m_shownWidth = m_core.BoxWidth;
    const QSize size(twipsToPixels(m_core.BoxWidth), Height);
    setMinimumSize(size);
    resize(size);
    if (auto* sub = qobject_cast<QMdiSubWindow*>(parentWidget())) {
        sub->setMinimumSize(sub->minimumSizeHint());
        sub->resize(sub->minimumSizeHint());
    }
}

bool frm_AKIK::event(QEvent* e)
{
    // Placed into the MDI area: the sub-window takes the width of the board type.
    if (e->type() == QEvent::ParentChange)
        QTimer::singleShot(0, this, [this] { setWidth(); });
    return QWidget::event(e);
}

void installProbes(frm_main& main, ProbeTools tools)
{
    ProbeWindowEnv env;
    env.bus = &main.core().transport();
    env.ui = &main.core().ui();
    env.registry = &main;
    env.bindInit = tools.bindInit;
    env.initBoundTo = tools.initBoundTo;
    env.unloadInit = tools.unloadInit;
    env.masks = tools.masks;
    QMdiArea* area = main.mdiArea();
    main.setProbeWindowFactory([env, area]() -> IProbeWindow* {
        auto* w = new frm_AKIK(env);
        // Activating the window makes it the current probe window.
        QObject::connect(area, &QMdiArea::subWindowActivated, w, [w](QMdiSubWindow* sub) {
            if (sub && sub->widget() == w)
                kit::guarded("frm_AKIK Form_Activate", [w] { w->core().Form_Activate(); });
        });
        return &w->core();
    });
}
