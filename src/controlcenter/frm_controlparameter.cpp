#include "frm_controlparameter.h"

#include "AxisParameterStore.h"
#include "CoreContext.h"
#include "Guarded.h"
#include "ParamsContext.h"
#include "frm_main.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QLineEdit>

frm_controlparameter::frm_controlparameter(ControlLoopEnv env, QWidget* parent)
    : QWidget(parent, Qt::Window), m_core(std::move(env))
{
    ui.setupUi(this);
    setAttribute(Qt::WA_DeleteOnClose);
    m_core.setView({this, [this] { render(); },
                    [this](const ControlLoopCore::PlotLine& l) { ui.RegelPantext->zeichnen(l); },
                    [this] { ui.RegelPantext->clearPlot(); }, [this] { close(); },
                    [this] { ui.text_strecke->setFocus(Qt::OtherFocusReason); }});
    bind();
    render();
}

frm_controlparameter::~frm_controlparameter()
{
    m_core.setView({this, {}, {}, {}, {}, {}});
}

void frm_controlparameter::bind()
{
    ControlLoopCore& c = m_core;
    kit::Form& f = m_form;
    f.setDecimalComma([&c] { return c.usesComma(); });
    f.caption(c.Caption);
    f.list("text_strecke", c.text_strecke);
    f.button("cmd_STOPP", c.cmd_STOPP, [&c] { c.cmd_STOPP_Click(); });
    // The register bars act while dragged as well as on a change.
    const auto barH = [&c] { c.sb_regelkreisH_Change(); };
    f.range("sb_regelkreisH_1", c.sb_regelkreisH, barH, barH);
    for (int k = 2; k <= 4; ++k) {
        const auto barV = [&c, k] { c.sb_regelkreisV_Change(k); };
        f.range(QStringLiteral("sb_regelkreisV_%1").arg(k), c.sb_regelkreisV[std::size_t(k - 2)], barV, barV);
    }
    for (int k = 1; k <= 4; ++k)
        f.entry(QStringLiteral("text_regelP_%1").arg(k), c.text_regelP[std::size_t(k - 1)]);
    f.label("lb_ST_Sec", c.lb_ST_Sec);
    f.button("cmd_save", c.cmd_save, [&c] { c.cmd_save_Click(); });
    f.button("cmd_exit", c.cmd_exit, [&c] { c.cmd_exit_Click(); });
    f.button("cmd_clear", c.cmd_clear, [&c] { c.cmd_clear_Click(); });
    for (int i = 0; i < 9; ++i)
        f.button(QStringLiteral("ob_zeit_%1").arg(i), c.ob_zeit[std::size_t(i)], [&c, i] { c.ob_zeit_Click(i); });
    for (int i = 1; i <= 3; ++i)
        f.button(QStringLiteral("cmd_Diag_%1").arg(i), c.cmd_Diag[std::size_t(i - 1)],
                 [&c, i] { c.cmd_Diag_Click(i); });
    for (int i = 0; i < 3; ++i)
        f.label(QStringLiteral("Vdia_%1").arg(i), c.Vdia[std::size_t(i)]);
    f.button("Check1", c.Check1);
    f.button("cb_wiederholen", c.cb_wiederholen);
    // The distance box is an editable combo box. It holds the focus and hands
    // typed keys straight to its line edit, past any filter there: the keys
    // are filtered at the box (and at the line edit for keys sent to it directly).
    ui.text_strecke->installEventFilter(this);
    ui.text_strecke->lineEdit()->installEventFilter(this);
}

void frm_controlparameter::render()
{
    if (!m_form.rendering())
        m_form.render();
}

bool frm_controlparameter::event(QEvent* e)
{
    if (e->type() == QEvent::WindowActivate)
        kit::guarded("Controlparameter Form_Activate", [this] { m_core.Form_Activate(); });
    return QWidget::event(e);
}

bool frm_controlparameter::eventFilter(QObject* watched, QEvent* event)
{
    if ((watched == ui.text_strecke || watched == ui.text_strecke->lineEdit()) && event->type() == QEvent::KeyPress) {
        auto* k = static_cast<QKeyEvent*>(event);
        if (!kit::keyPasses(*k, kit::Keys::Decimal, m_core.usesComma()))
            return true;
    }
    return QWidget::eventFilter(watched, event);
}

void frm_controlparameter::closeEvent(QCloseEvent* event)
{
    if (!m_unloaded) {
        m_unloaded = true;
        kit::guarded("Controlparameter Form_Unload", [this] { m_core.Form_Unload(); });
    }
    event->accept();
}

void installControlLoop(frm_main& main, ParamsContext& params)
{
    ControlLoopEnv env;
    env.bus = &main.core().transport();
    env.ui = &main.core().ui();
    env.options = &main.optionFlags();
    env.registry = &main;
    env.motfaktor_berechnen = [&params] { return params.motfaktor_berechnen(); };
    env.st = [&params] {
        const AxisParameterStore& store = params.store();
        return store.indexValid() ? store.st() : 0.0;
    };
    main.setControlLoopFactory([env, &main]() -> IControlLoopWindow* {
        auto* w = new frm_controlparameter(env, &main);
        return &w->core();
    });
}
