#include "frm_AK_Abgleich.h"

#include "Guarded.h"
#include "ui_frm_AK_Abgleich.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QPushButton>
#include <QRadioButton>
#include <QScopedValueRollback>
#include <QStyle>

namespace {
const char* const FactorNames[] = {"FaktorA", "faktorB", "faktorC", "faktorD"};
const char* const ZeroNames[] = {"NullA", "nullB", "nullC", "nullD"};
const char* const SpanNames[] = {"kanal_A", "kanal_B", "Kanal_C", "Kanal_D"};
}  // namespace

frm_AK_Abgleich::frm_AK_Abgleich(AK_AbgleichWindowEnv env, QWidget* parent)
    : QWidget(parent), m_env(std::move(env)), m_core(m_env.core), m_ui(std::make_unique<Ui::frm_AK_Abgleich>()),
      ui(*m_ui), m_form(this)
{
    ui.setupUi(this);
    build();
    bind();
    connect(&Timer1, &QTimer::timeout, this, [this] { tick(); });
    m_stepTimer.setSingleShot(true);
    connect(&m_stepTimer, &QTimer::timeout, this, [this] { step(); });
    m_form.setDecimalComma(m_env.core.decimalComma);
    m_form.setAfterEvent([this] { render(); });
    render();
}

frm_AK_Abgleich::~frm_AK_Abgleich()
{
    m_closed = true;
}

void frm_AK_Abgleich::build()
{
    // The 16 address options and the 16 number options, four to a row.
    const auto options = [](QWidget* frame, const QString& name) {
        auto* grid = new QGridLayout(frame);
        grid->setSpacing(2);
        for (int i = 0; i < AK_AbgleichCore::Addresses; ++i) {
            auto* o = new QRadioButton(frame);
            o->setObjectName(QStringLiteral("%1_%2").arg(name).arg(i));
            grid->addWidget(o, i / 4, i % 4);
        }
    };
    options(ui.AK_Nr, QStringLiteral("AKNR"));
    options(ui.CIY, QStringLiteral("CINR"));
    ui.cmd_exit->setIcon(style()->standardIcon(QStyle::SP_DialogCloseButton));
    ui.cmd_exit->setToolTip(QStringLiteral("Ende"));
}

void frm_AK_Abgleich::bind()
{
    AK_AbgleichCore& c = m_core;
    kit::Form& f = m_form;
    for (int i = 0; i < AK_AbgleichCore::BoardTypes; ++i)
        f.button(QStringLiteral("OAkX_%1").arg(i), c.OAkX[i], [&c, i] { c.OAkX_Click(i); });
    f.label(QStringLiteral("AK_Nr"), c.AK_Nr);
    f.label(QStringLiteral("CIY"), c.CIY);
    for (int i = 0; i < AK_AbgleichCore::Addresses; ++i) {
        f.button(QStringLiteral("AKNR_%1").arg(i), c.AKNR[i], [&c, i] { c.AKNR_Click(i); });
        f.button(QStringLiteral("CINR_%1").arg(i), c.CINR[i], [&c, i] { c.CINR_Click(i); });
    }
    f.button(QStringLiteral("aktiv"), c.aktiv);
    f.button(QStringLiteral("Maxmin"), c.Maxmin, [&c] { c.Maxmin_Click(); });
    f.entry(QStringLiteral("tb_faktor"), c.tb_faktor, {.keys = kit::Keys::Unsigned});
    f.entry(QStringLiteral("tint"), c.tint);
    f.button(QStringLiteral("Interv"), c.Interv, [&c] { c.Interv_Click(); });
    for (int k = 0; k < AK_AbgleichCore::Channels; ++k) {
        f.button(QStringLiteral("Check1_%1").arg(k), c.Check1[k], [&c] { c.Check1_Click(); });
        f.label(QStringLiteral("kanal_%1").arg(k), c.kanal[k]);
        f.entry(QLatin1String(FactorNames[k]), c.factorBoxes[k], {.keys = kit::Keys::SignedDecimal});
        f.button(QLatin1String(ZeroNames[k]), c.zeroButtons[k], [&c, k] { c.zeroReleased(k); });
        // Pressing a zero button shows the raw value until it is released.
        connect(f.get<QPushButton>(QLatin1String(ZeroNames[k])), &QPushButton::pressed, this,
                [this, &c, k] { m_form.handle("zero pressed", [&c, k] { c.zeroPressed(k); }); });
        f.label(QLatin1String(SpanNames[k]), c.spanBoxes[k], [&c, k] { c.resetSpan(k); });
        f.label(QStringLiteral("frequenz_%1").arg(k), c.frequenz[k], [&c, k] { c.frequenz_Click(k); });
    }
    std::array<kit::Control, 2>* carriers[] = {&c.Option0, &c.Option1, &c.Option2, &c.Option3};
    for (int k = 0; k < AK_AbgleichCore::Channels; ++k)
        for (int i = 0; i < 2; ++i)
            f.button(QStringLiteral("Option%1_%2").arg(k).arg(i), (*carriers[k])[i],
                     [&c, k, i] { c.Option_Click(k, i); });
    f.entry(QStringLiteral("messwert"), c.messwert);
    f.entry(QStringLiteral("empfang"), c.empfang);
    f.button(QStringLiteral("Command1"), c.Command1, [&c] { c.Command1_Click(); });
    f.button(QStringLiteral("Command2"), c.Command2, [&c] { c.Command2_Click(); });
    connect(ui.Command2, &QPushButton::pressed, this,
            [this, &c] { m_form.handle("repeat pressed", [&c] { c.Command2_MouseDown(); }); });
    f.label(QStringLiteral("Rahmen1"), c.Rahmen1);
    for (int i = 0; i < int(c.Option5.size()); ++i)
        f.button(QStringLiteral("Option5_%1").arg(i), c.Option5[i], [&c, i] { c.Option5_Click(i); });
    f.label(QStringLiteral("FADADA"), c.FADADA);
    for (int i = 0; i < int(c.OADADA.size()); ++i)
        f.button(QStringLiteral("OADADA_%1").arg(i), c.OADADA[i], [&c, i] { c.OADADA_Click(i); });
    f.button(QStringLiteral("Befehl2"), c.Befehl2, [&c] { c.Befehl2_Click(); });
    f.button(QStringLiteral("Burn00"), c.Burn00, [&c] { c.Burn00_Click(); });
    f.button(QStringLiteral("BAKNR"), c.BAKNR, [&c] { c.BAKNR_Click(); });
    f.button(QStringLiteral("CIX"), c.CIX, [&c] { c.CIX_Click(); });
    f.button(QStringLiteral("Nr_AK"), c.Nr_AK, [&c] { c.Nr_AK_Click(); });
    f.button(QStringLiteral("abgl"), c.abgl, [&c] { c.abgl_Click(); });
    // Buttons without state of their own.
    const auto plainButton = [this](const QString& name, std::function<void()> fn) {
        connect(m_form.get<QPushButton>(name), &QPushButton::clicked, this,
                [this, fn] { m_form.handle("button", fn); });
    };
    plainButton(QStringLiteral("tabelle"), [&c] { c.tabelle_Click(); });
    plainButton(QStringLiteral("synchron"), [&c] { c.synchron_Click(); });
    plainButton(QStringLiteral("status"), [&c] { c.status_Click(); });
    plainButton(QStringLiteral("Register"), [&c] { c.Register_Click(); });
    plainButton(QStringLiteral("cmd_exit"), [this] { cmd_exit_Click(); });
    // The calibration panel.
    f.label(QStringLiteral("Abgleich"), c.Abgleich);
    f.entry(QStringLiteral("Soll"), c.Soll);
    f.button(QStringLiteral("ChTesa"), c.ChTesa, [&c] { c.ChTesa_Click(); });
    f.button(QStringLiteral("chAK1"), c.chAK1);
    f.entry(QStringLiteral("Ist"), c.Ist);
    f.entry(QStringLiteral("fakP"), c.fakP);
    f.entry(QStringLiteral("fakM"), c.fakM);
    f.entry(QStringLiteral("Bedhinw"), c.Bedhinw);
    f.entry(QStringLiteral("textx"), c.textx);
    f.button(QStringLiteral("StartAbgl"), c.StartAbgl, [&c] { c.StartAbgl_Click(); });
    f.button(QStringLiteral("weiterA"), c.weiterA, [&c] { c.weiterA_Click(); });
    f.button(QStringLiteral("abbruchA"), c.abbruchA, [&c] { c.abbruchA_Click(); });
}

void frm_AK_Abgleich::render()
{
    m_form.render();
    // The timers follow the core: the measuring timer as the core switches it,
    // the step timer while "Burn all" or the calibration runs.
    if (Timer1.interval() != m_core.Timer1.interval)
        Timer1.setInterval(m_core.Timer1.interval);
    if (m_core.Timer1.enabled && !Timer1.isActive() && !m_closed)
        Timer1.start();
    else if (!m_core.Timer1.enabled && Timer1.isActive())
        Timer1.stop();
    if (m_core.running() && !m_closed)
        m_stepTimer.start(int(m_core.nextStepIn() * 1000.0));
    else
        m_stepTimer.stop();
}

void frm_AK_Abgleich::showFromMenu()
{
    m_core.Timer1.enabled = true;
    // Other windows used the bus meanwhile: the board is selected again.
    kit::guarded("frm_AK_Abgleich shown", [this] { m_core.shown(); });
    setEnabled(true);
    render();
    show();
    raise();
    activateWindow();
}

void frm_AK_Abgleich::tick()
{
    // An exchange never yields, so a tick cannot start inside another step;
    // the guard keeps it so should a modal box ever open inside one.
    if (m_busy)
        return;
    {
        const QScopedValueRollback<bool> guard(m_busy, true);
        kit::guarded("frm_AK_Abgleich Timer1", [this] { m_core.Timer1_Timer(); });
    }
    render();
}

void frm_AK_Abgleich::step()
{
    if (m_busy) {
        m_stepTimer.start(10);
        return;
    }
    {
        const QScopedValueRollback<bool> guard(m_busy, true);
        kit::guarded("frm_AK_Abgleich step", [this] { m_core.step(); });
    }
    render();
}

void frm_AK_Abgleich::cmd_exit_Click()
{
    // A running calibration or "Burn all" ends first.
    m_core.cmd_exit_Click();
    m_env.leave();
    setEnabled(false);
    render();
    hide();
}

void frm_AK_Abgleich::closeEvent(QCloseEvent* event)
{
    m_core.abort();
    m_core.Timer1.enabled = false;
    m_closed = true;
    m_stepTimer.stop();
    Timer1.stop();
    event->accept();
    m_env.endProgram();
}
