#include "frm_Joystick_Abgleich.h"

#include "CoreContext.h"
#include "Guarded.h"
#include "LevelonIds.h"
#include "MenuNames.h"
#include "ParamsContext.h"
#include "frm_main.h"

#include <QCloseEvent>
#include <QPointer>

QList<GaugeDesign> joystickGaugeDesign(int unit)
{
    struct Gauge
    {
        const char* name;
        int x, width, min, max;
        int colour;
    };
    // Negative side | dead band | positive side, in one row.
    static constexpr Gauge Row[] = {
        {"tovih_power", 145, 50, JoystickCore::PowerMin, JoystickCore::PowerMax, 0xC000},
        {"tovih_neg", 0, 140, JoystickCore::NegMin, JoystickCore::NegMax, 0xC0},
        {"tovih_pos", 200, 140, JoystickCore::PosMin, JoystickCore::PosMax, 0xC0},
    };
    QList<GaugeDesign> out;
    for (const Gauge& g : Row)
        out.append({QStringLiteral("%1_%2").arg(QLatin1String(g.name)).arg(unit),
                    QString::fromLatin1(levelon::ids::HGaugeClass),
                    QString::fromLatin1(levelon::ids::HGaugeProgId),
                    QRect(g.x, 0, g.width, 26),
                    {{QStringLiteral("Min"), g.min},
                     {QStringLiteral("Max"), g.max},
                     {QStringLiteral("NegColor"), g.colour},
                     {QStringLiteral("PosColor"), g.colour}}});
    return out;
}

frm_Joystick_Abgleich::frm_Joystick_Abgleich(JoystickEnv env, GaugeHost& gauges, QWidget* parent)
    : QWidget(parent, Qt::Window), m_core(std::move(env))
{
    ui.setupUi(this);
    setAttribute(Qt::WA_DeleteOnClose);
    // One pass of the host for the whole window: one message at most. Each
    // unit's gauges then sit in that unit's box at their design place.
    const QList<GaugeDesign> design = joystickGaugeDesign(0) + joystickGaugeDesign(1);
    m_gauges = gauges.createGauges(this, design);
    for (int k = 0; k < m_gauges.size(); ++k)
        if (QWidget* g = m_gauges[k].widget()) {
            g->setParent(k < 3 ? ui.gauges_0 : ui.gauges_1);
            g->setGeometry(design[k].geometry);
            g->show();
        }
    m_core.Form_Load();
    bind();
    Timer2.setInterval(TimerInterval);
    connect(&Timer2, &QTimer::timeout, this, [this] { tick(); });
    render();
}

frm_Joystick_Abgleich::~frm_Joystick_Abgleich() = default;

void frm_Joystick_Abgleich::bind()
{
    JoystickCore& c = m_core;
    kit::Form& f = m_form;
    f.list("cb_adressenauswahl", c.cb_adressenauswahl, [&c] { c.cb_adressenauswahl_Click(); });
    f.lamp("sh_an_aus", c.sh_an_aus);
    f.label("lb_Fehler", c.lb_Fehler);
    f.button("cmd_STOPP", c.cmd_STOPP, [&c] { c.cmd_STOPP_Click(); });
    for (int u = 0; u < JoystickCore::Units; ++u) {
        const std::size_t k = std::size_t(u);
        f.label(QStringLiteral("lb_POS_%1").arg(u), c.lb_POS[k]);
        f.label(QStringLiteral("lb_Spannung_%1").arg(u), c.lb_Spannung[k]);
        f.label(QStringLiteral("lb_Vneg_%1").arg(u), c.lb_Vneg[k]);
        f.label(QStringLiteral("lb_Vpos_%1").arg(u), c.lb_Vpos[k]);
        f.button(QStringLiteral("Fahrart_%1").arg(u), c.Fahrart[k], [&c, u] { c.Fahrart_Click(u); });
    }
    f.setAfterEvent([this] { render(); });
}

void frm_Joystick_Abgleich::render()
{
    if (!m_form.rendering())
        m_form.render();
    const QList<int> values{m_core.tovih_power[0], m_core.tovih_neg[0], m_core.tovih_pos[0],
                            m_core.tovih_power[1], m_core.tovih_neg[1], m_core.tovih_pos[1]};
    if (values == m_shown)
        return;
    for (int k = 0; k < m_gauges.size() && k < values.size(); ++k)
        if (m_shown.size() != values.size() || m_shown[k] != values[k])
            m_gauges[k].setValue(values[k]);
    m_shown = values;
}

void frm_Joystick_Abgleich::tick()
{
    kit::guarded("Joystick_Abgleich Timer2", [this] { m_core.Timer2_Timer(); });
    render();
}

void frm_Joystick_Abgleich::openForm()
{
    show();
    raise();
    activateWindow();
    Timer2.start();
}

void frm_Joystick_Abgleich::closeEvent(QCloseEvent* event)
{
    Timer2.stop();
    if (!m_unloaded) {
        m_unloaded = true;
        kit::guarded("Joystick_Abgleich Form_Unload", [this] { m_core.Form_Unload(); });
    }
    event->accept();
}

void installJoystick(frm_main& main, ParamsContext& params)
{
    JoystickEnv env;
    env.bus = &main.core().transport();
    env.store = &params.store();
    env.leaveScript = [&main] {
        if (main.isUnloaded())
            return;
        main.Enable_all();
        main.releaseMainLoop(Menu::Joystick_Abgleich);
    };
    auto host = std::make_shared<GaugeHost>(main.core().ui());
    auto window = std::make_shared<QPointer<frm_Joystick_Abgleich>>();
    main.setWindowOpener(Menu::Joystick_Abgleich, [env, host, window, &main] {
        if (!*window)
            *window = new frm_Joystick_Abgleich(env, *host, &main);
        (*window)->openForm();
    });
    main.setAddressListTarget(QStringLiteral("frm_Joystick_Abgleich"), [window](const QStringList& entries) {
        if (*window) {
            (*window)->core().fillAddresses(entries);
            (*window)->render();
        }
    });
}
