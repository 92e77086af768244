#include "frm_Controlcenter.h"

#include "BusTransport.h"
#include "CoreContext.h"
#include "Format.h"
#include "Guarded.h"
#include "ParamsContext.h"
#include "ScreenFit.h"
#include "frm_main.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QTimer>

using namespace controlDesk;

namespace {
// One-line and enlarged result view: window heights in twips.
constexpr int SmallHeight = 4410;
constexpr int LargeHeight = 11000;
// One-line and enlarged result line, in pixels.
constexpr QSize ResultLineSmall(411, 25);
constexpr QSize ResultLineLarge(464, 460);

// The list window INIT opens comes up beside the control center whose button
// opened it, clear of the main window's menus; one already open stays where it is.
ControlCenterEnv initBeside(ControlCenterEnv env, QWidget* window)
{
    env.initWindow = [open = std::move(env.initWindow), window]() -> IInitWindow* {
        IInitWindow* iw = open ? open() : nullptr;
        if (QWidget* form = iw ? iw->form() : nullptr; form && !form->isVisible()) {
            auto* sub = qobject_cast<QMdiSubWindow*>(window->parentWidget());
            kit::placeBeside(form, sub ? static_cast<QWidget*>(sub) : window);
        }
        return iw;
    };
    return env;
}
}  // namespace

frm_Controlcenter::frm_Controlcenter(ControlCenterEnv env, QWidget* parent)
    : QWidget(parent), m_core(initBeside(std::move(env), this))
{
    ui.setupUi(this);
    setAttribute(Qt::WA_DeleteOnClose);
    ui.pb_Grafikunterstuetzung->setCore(&m_core);
    m_core.setView({this, [this] { render(); }, [this] { ui.cmd_STOPP->setFocus(Qt::OtherFocusReason); }});
    bind();
    m_core.Form_Load();
    render();
    resize(twipsToPixels(10500), twipsToPixels(SmallHeight));
}

frm_Controlcenter::~frm_Controlcenter()
{
    // The core outlives the widgets by a moment: it must not draw into them.
    m_core.setView({this, {}, {}});
}

void frm_Controlcenter::bind()
{
    ControlCenterCore& c = m_core;
    kit::Form& f = m_form;
    const auto stop = [this] { ui.cmd_STOPP->setFocus(Qt::OtherFocusReason); };
    f.setDecimalComma([&c] { return c.usesComma(); });
    f.setAfterEvent([this] { showSpecial(); });

    f.list("cb_adressenauswahl", c.cb_adressenauswahl, [&c] { c.cb_adressenauswahl_Click(); });
    f.lamp("sh_an_aus", c.sh_an_aus);
    f.label("lb_POS", c.lb_POS);
    // The result line and the joystick speed label toggle on a click of any
    // mouse button.
    f.label("lb_Fehler", c.lb_Fehler);
    f.mouseUp("lb_Fehler", [&c](int) { c.lb_Fehler_Click(); });
    f.button("cb_IN", c.cb_IN, [&c] { c.cb_IN_Click(); });
    f.label("lb_ESM", c.lb_ESM);
    f.label("lb_ESP", c.lb_ESP);
    f.entry("text_SLM", c.text_SLM,
            {.keys = kit::Keys::SignedDecimal, .enter = stop, .lostFocus = [&c] { c.text_SLM_LostFocus(); }});
    f.entry("text_SLP", c.text_SLP,
            {.keys = kit::Keys::SignedDecimal, .enter = stop, .lostFocus = [&c] { c.text_SLP_LostFocus(); }});
    f.label("lb_messtischweg", c.lb_messtischweg);
    // The bars act while dragged as well (their Scroll is their Change).
    const auto sliV = [&c] { c.sli_v_Change(c.sli_v.value); };
    const auto sliA = [&c] { c.sli_a_Change(c.sli_a.value); };
    f.range("sli_v", c.sli_v, sliV, sliV);
    f.range("sli_a", c.sli_a, sliA, sliA);
    f.entry("text_Geschwindigkeit", c.text_Geschwindigkeit,
            {.keys = kit::Keys::Decimal, .enter = stop, .lostFocus = [&c] { c.text_Geschwindigkeit_LostFocus(); }});
    f.entry("text_Beschleunigung", c.text_Beschleunigung,
            {.keys = kit::Keys::Decimal, .enter = stop, .lostFocus = [&c] { c.text_Beschleunigung_LostFocus(); }});
    f.label("Label1", c.Label1);
    f.label("Label2", c.Label2);
    for (int i = 0; i < 4; ++i)
        f.button(QStringLiteral("Fahrart_%1").arg(i), c.Fahrart[std::size_t(i)], [&c, i] { c.selectDriveMode(i); });
    f.label("lb_joyart", c.lb_joyart);
    f.mouseUp("lb_joyart", [&c](int) { c.lb_joyart_Click(); });
    f.label("fr_Fahrart2", c.fr_Fahrart2);
    for (int i = 0; i < 3; ++i)
        f.button(QStringLiteral("ob_Fahrart2_%1").arg(i), c.ob_Fahrart2[std::size_t(i)],
                 [&c, i] { c.ob_Fahrart2_Click(i); });
    f.list("text_strecke", c.text_strecke, {}, [&c] { c.text_strecke_LostFocus(); });
    f.list("cb_SchritteE", c.cb_SchritteE, {}, [&c] { c.cb_SchritteE_LostFocus(); });
    for (int i = 0; i < 2; ++i)
        f.button(QStringLiteral("cmd_Fahrt_%1").arg(i), c.cmd_Fahrt[std::size_t(i)], [&c, i] { c.cmd_Fahrt_Click(i); });
    f.button("cmd_FahreNull", c.cmd_FahreNull, [&c] { c.cmd_FahreNull_Click(); });
    f.button("cmd_STOPP", c.cmd_STOPP, [&c] { c.cmd_STOPP_Click(); });
    f.button("cmd_ESM", c.cmd_ESM, [&c] { c.cmd_ESM_Click(); });
    f.button("cmd_ESP", c.cmd_ESP, [&c] { c.cmd_ESP_Click(); });
    f.button("cmd_GX", c.cmd_GX, [&c] { c.cmd_GX_Click(); });
    f.button("cmd_GY", c.cmd_GY, [&c] { c.cmd_GY_Click(); });
    // The mouse alone drives the index search: the left button's release arms
    // it, the right one's moves to the mark. A key (Space) does nothing.
    f.button("cmd_IndexSuche", c.cmd_IndexSuche);
    f.mouseUp("cmd_IndexSuche", [&c, stop](int button) {
        c.cmd_IndexSuche_MouseUp(button);
        if (button == 1)
            stop();
    });
    f.label("lb_indexanzeige", c.lb_indexanzeige);
    f.button("cmd_ZaehlerNull", c.cmd_ZaehlerNull, [&c] { c.cmd_ZaehlerNull_Click(); });
    f.range("sl_dauer", c.sl_dauer, [&c] { c.sl_dauer_Change(c.sl_dauer.value); });
    f.label("pb_Grafikunterstuetzung", c.pb_Grafikunterstuetzung);
    f.mouseUp("pb_Grafikunterstuetzung", [&c](int button) { c.pb_Grafikunterstuetzung_MouseUp(button); });
    f.button("cmd_status", c.cmd_status, [&c] { c.cmd_status_Click(); });
    f.button("cmd_version", c.cmd_version, [&c] { c.cmd_version_Click(); });
    f.button("cmd_versionintern", c.cmd_versionintern, [&c] { c.cmd_versionintern_Click(); });
    f.button("cmd_input", c.cmd_input, [&c] { c.cmd_input_Click(); });
    f.button("cmd_sign", c.cmd_sign, [&c] { c.cmd_sign_Click(); });
    f.button("cmd_eW", c.cmd_eW, [&c] { c.cmd_eW_Click(); });
    f.button("cmd_ControllP", c.cmd_ControllP, [&c] { c.cmd_ControllP_Click(); });
    f.button("cmd_Init", c.cmd_Init, [&c] { c.cmd_Init_Click(); });

    // The distance box is an editable combo box. It holds the focus and hands
    // typed keys straight to its line edit, past any filter there: the keys
    // are filtered where they arrive, at the box (and at the line edit for
    // keys sent to it directly).
    ui.text_strecke->installEventFilter(this);
    ui.text_strecke->lineEdit()->installEventFilter(this);
}

bool frm_Controlcenter::eventFilter(QObject* watched, QEvent* event)
{
    if ((watched == ui.text_strecke || watched == ui.text_strecke->lineEdit()) && event->type() == QEvent::KeyPress) {
        auto* k = static_cast<QKeyEvent*>(event);
        // Enter moves on to Stop, so that leaving the box checks the distance.
        if (k->key() == Qt::Key_Return || k->key() == Qt::Key_Enter) {
            ui.cmd_STOPP->setFocus(Qt::OtherFocusReason);
            return true;
        }
        if (!kit::keyPasses(*k, kit::Keys::Decimal, m_core.usesComma()))
            return true;
    }
    return QWidget::eventFilter(watched, event);
}

void frm_Controlcenter::closeEvent(QCloseEvent* event)
{
    // Closed from a box that a running cycle opened: the close waits
    // until the cycle has returned.
    if (kit::deferCloseWhileBusy(this, event, m_core.isInCycle()))
        return;
    if (!m_unloaded) {
        m_unloaded = true;
        kit::guarded("Controlcenter Form_Unload", [this] { m_core.Form_Unload(); });
    }
    event->accept();
}

void frm_Controlcenter::render()
{
    if (m_form.rendering())
        return;
    m_form.render();
    showSpecial();
}

void frm_Controlcenter::showSpecial()
{
    const QString title = m_core.Caption.isEmpty() ? QStringLiteral("Controlcenter") : m_core.Caption;
    if (windowTitle() != title)
        setWindowTitle(title);
    if (m_shownSize != m_core.Fehlerzeile_gross) {
        m_shownSize = m_core.Fehlerzeile_gross;
        const bool big = m_core.Fehlerzeile_gross == 1;
        // The result line is 411 x 25 pixels; enlarged, it is 464 x 460 and
        // shows the lines that fehlerliste_schreiben broke the text into.
        ui.lb_Fehler->setFixedSize(big ? ResultLineLarge : ResultLineSmall);
        ui.lb_Fehler->setAlignment(Qt::AlignLeft | (big ? Qt::AlignTop : Qt::AlignVCenter));
        ui.lb_Fehler->setWordWrap(false);
        QWidget* host = qobject_cast<QMdiSubWindow*>(parentWidget()) ? parentWidget() : this;
        host->resize(host->width(),
                     std::max(twipsToPixels(big ? LargeHeight : SmallHeight), host->minimumSizeHint().height()));
    }
    if (m_shownCarriage != m_core.line_schlitten_left || m_shownCarriageColour != m_core.line_schlitten.colour ||
        m_shownMarks != m_core.sh_index_x) {
        m_shownCarriage = m_core.line_schlitten_left;
        m_shownCarriageColour = m_core.line_schlitten.colour;
        m_shownMarks = m_core.sh_index_x;
        ui.pb_Grafikunterstuetzung->update();
    }
}

// --- wiring -------------------------------------------------------------------------------------------

ControlCenterEnv controlCenterEnv(frm_main& main, ParamsContext& params, const ControlCenterTools& tools)
{
    ControlCenterEnv env;
    env.bus = &main.core().transport();
    env.ui = &main.core().ui();
    env.store = &params.store();
    env.options = &main.optionFlags();
    env.registry = &main;
    env.motfaktor_berechnen = [&params] { return params.motfaktor_berechnen(); };
    env.ueberschreiben = [&params](const QString& ident, int axisNo) {
        return params.configFile().ueberschreiben(ident, axisNo);
    };
    env.enableAll = [&main] { main.Enable_all(); };
    env.disableAll = [&main](int mode) { main.Disable_all(mode); };
    env.recorder = [&main] { return main.recorder(); };
    env.controlLoop = [&main] { return main.controlLoopWindow(); };
    env.initWindow = tools.initWindow;
    env.existingInitWindow = tools.existingInitWindow;
    env.unload = [](TrackedWindow* w) {
        if (QWidget* f = w ? w->form() : nullptr)
            f->close();
    };
    env.driftActive = tools.driftActive;
    env.setDriftmerker = tools.setDriftmerker;
    env.startDrift = tools.startDrift;
    return env;
}

void installControlCenter(frm_main& main, ParamsContext& params, ControlCenterTools tools)
{
    const ControlCenterEnv env = controlCenterEnv(main, params, tools);
    QMdiArea* area = main.mdiArea();
    main.setControlCenterFactory([env, area]() -> IControlCenter* {
        auto* w = new frm_Controlcenter(env);
        // Activating the window makes it the current control center.
        QObject::connect(area, &QMdiArea::subWindowActivated, w, [w](QMdiSubWindow* sub) {
            if (sub && sub->widget() == w)
                kit::guarded("Controlcenter Form_Activate", [w] { w->core().Form_Activate(); });
        });
        return &w->core();
    });
}
