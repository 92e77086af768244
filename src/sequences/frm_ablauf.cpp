#include "frm_ablauf.h"

#include "Guarded.h"
#include "Protocol.h"
#include "UiServices.h"
#include "ui_frm_ablauf.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QScopedValueRollback>

#include <algorithm>

namespace {
// Captions of the command buttons CBefehl(0..8); the command is the core's.
const char* const CommandTexts[] = {
    "status", "version", "inputs", "adress", "sign", "[0pe]", protocol::Poll.data(), "[1PR]", protocol::Stop.data()};
constexpr int RowsPerColumn = 29;
}  // namespace

frm_ablauf::frm_ablauf(AblaufWindowEnv env, QWidget* parent)
    : QWidget(parent), m_env(std::move(env)), m_core([this] {
          AblaufEnv e = m_env.core;
          e.focusStart = [this] { startFocusing(); };
          return e;
      }()),
      m_ui(std::make_unique<Ui::frm_ablauf>()), ui(*m_ui), m_form(this)
{
    ui.setupUi(this);
    buildRows();
    bindControls();
    Timer1.setInterval(100);
    connect(&Timer1, &QTimer::timeout, this, [this] { tick(); });
    m_runTimer.setSingleShot(true);
    connect(&m_runTimer, &QTimer::timeout, this, [this] { timerStep(); });
    m_core.Form_Load();
    m_form.render();
}

frm_ablauf::~frm_ablauf()
{
    m_ended = true;
}

void frm_ablauf::buildRows()
{
    // The 87 line boxes, three columns of 29, numbered down each column.
    auto* textLines = new QGridLayout(ui.rowPanel);
    textLines->setSpacing(1);
    for (int i = 0; i < AblaufCore::MaxRows; ++i) {
        auto* e = new QLineEdit(ui.rowPanel);
        e->setObjectName(QStringLiteral("pZeile_%1").arg(i));
        e->setMinimumWidth(180);
        textLines->addWidget(e, i % RowsPerColumn, i / RowsPerColumn);
    }
    auto* commands = static_cast<QGridLayout*>(ui.commandFrame->layout());
    for (int i = 0; i < int(std::size(CommandTexts)); ++i) {
        auto* b = new QPushButton(QLatin1String(CommandTexts[i]), ui.commandFrame);
        b->setObjectName(QStringLiteral("CBefehl_%1").arg(i));
        commands->addWidget(b, i / 2, i % 2);
    }
    // Display boxes: check box with the name, label with the value; two pairs a row.
    auto* displayGrid = new QGridLayout(ui.displayPanel);
    displayGrid->setContentsMargins(0, 0, 0, 0);
    for (int d = 0; d < AblaufCore::GaugeCount; ++d) {
        auto* c = new QCheckBox(ui.displayPanel);
        c->setObjectName(QStringLiteral("Con_%1").arg(d));
        auto* l = new QLabel(ui.displayPanel);
        l->setObjectName(QStringLiteral("Display_%1").arg(d));
        l->setFrameShape(QFrame::Panel);
        l->setFrameShadow(QFrame::Sunken);
        l->setMinimumWidth(80);
        l->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        displayGrid->addWidget(c, d % 16, (d / 16) * 2);
        displayGrid->addWidget(l, d % 16, (d / 16) * 2 + 1);
    }
    // The window's menu: "Editor", "Ablauf", "Aufzeichnen".
    m_menu = new QMenuBar(this);
    ui.mainLayout->setMenuBar(m_menu);
    QAction* mEdit = m_menu->addAction(QStringLiteral("Editor"));
    mEdit->setObjectName(QStringLiteral("mEdit"));
    QAction* EAblauf = m_menu->addAction(QStringLiteral("Ablauf"));
    EAblauf->setObjectName(QStringLiteral("EAblauf"));
    QAction* mnuAufz = m_menu->addAction(QStringLiteral("Aufzeichnen"));
    mnuAufz->setObjectName(QStringLiteral("mnuAufz"));
    connect(mEdit, &QAction::triggered, this, [this] { m_form.handle("mEdit", [this] { m_core.EditEinAus(); }); });
    connect(EAblauf, &QAction::triggered, this,
            [this] { m_form.handle("EAblauf", [this] { m_core.AblaufEinAus(); }); });
    connect(mnuAufz, &QAction::triggered, this,
            [this] { m_form.handle("mnuAufz", [this] { m_core.mnuAufz_Click(); }); });
}

void frm_ablauf::bindControls()
{
    AblaufCore& c = m_core;
    kit::Form& f = m_form;
    for (int i = 0; i < AblaufCore::MaxRows; ++i)
        f.entry(QStringLiteral("pZeile_%1").arg(i), c.pZeile[i], {.change = [&c, i] { c.pZeile_Change(i); }});
    f.label(QStringLiteral("LHinweis"), c.LHinweis);
    f.button(QStringLiteral("CStart"), c.CStart, [this] { CStart_Click(); });
    f.button(QStringLiteral("CStop"), c.CStop, [this, &c] {
        c.CStop_Click();
        if (c.isRunning())
            m_runTimer.start(0);  // a pause or a wait ends at once
    });
    f.label(QStringLiteral("lNA"), c.lNA);
    f.label(QStringLiteral("lFehler"), c.lFehler);
    f.lamp(QStringLiteral("LED"), c.LED);
    f.list(QStringLiteral("lb_ablauf"), c.lb_ablauf);
    f.label(QStringLiteral("Label3"), c.Label3);
    f.label(QStringLiteral("ffAblauf"), c.ffAblauf);
    f.label(QStringLiteral("FEdit"), c.FEdit);
    f.entry(QStringLiteral("TEdit"), c.TEdit);
    f.range(QStringLiteral("VTyp"), c.VTyp, [&c] { c.VTyp_Change(); });
    f.range(QStringLiteral("VBox"), c.VBox, [&c] { c.VBox_Change(); });
    f.entry(QStringLiteral("tTyp"), c.tTyp);
    f.entry(QStringLiteral("tBox"), c.tBox);
    f.entry(QStringLiteral("tIndex_3"), c.tIndex3);
    f.entry(QStringLiteral("TPosWeg"), c.TPosWeg, {.keys = kit::Keys::SignedDecimal});
    // The distance is read with either separator; the locale's one is typed.
    f.setDecimalComma([&c] { return c.usesComma(); });
    f.entry(QStringLiteral("TSenden"), c.TSenden);
    f.button(QStringLiteral("OPosArt_0"), c.OPosArt0, [&c] { c.OPosArt1.checked = !c.OPosArt0.checked; });
    f.button(QStringLiteral("OPosArt_1"), c.OPosArt1, [&c] { c.OPosArt0.checked = !c.OPosArt1.checked; });
    f.button(QStringLiteral("Don_0"), c.Don0);
    f.label(QStringLiteral("FSteuerBox_1"), c.FControlBox1);
    for (int d = 0; d < AblaufCore::GaugeCount; ++d) {
        f.button(QStringLiteral("Con_%1").arg(d), c.Con[d]);
        f.label(QStringLiteral("Display_%1").arg(d), c.Display[d], [&c] { c.Display_Click(); });
    }
    // Buttons without state of their own.
    const auto addButton = [this](const QString& name, std::function<void()> fn) {
        auto* b = m_form.get<QPushButton>(name);
        connect(b, &QPushButton::clicked, this, [this, fn] { m_form.handle("button", fn); });
    };
    addButton(QStringLiteral("AblLD"), [&c] { c.AblL(); });
    addButton(QStringLiteral("AblSP"), [&c] { c.AblSP_Click(); });
    addButton(QStringLiteral("CEin_0"), [&c] { c.AblaufEinAus(); });
    addButton(QStringLiteral("CEin_4"), [&c] { c.EditEinAus(); });
    addButton(QStringLiteral("CTST1"), [&c] { c.CTST1_Click(); });
    addButton(QStringLiteral("CTST3"), [&c] { c.CTST3_Click(); });
    addButton(QStringLiteral("CTST4"), [&c] { c.CTST4_Click(); });
    for (int i = 0; i < int(std::size(CommandTexts)); ++i)
        addButton(QStringLiteral("CBefehl_%1").arg(i), [&c, i] { c.CBefehl_Click(i); });
    addButton(QStringLiteral("CLimitP"), [&c] { c.CLimitP_Click(); });
    addButton(QStringLiteral("CLimitN"), [&c] { c.CLimitN_Click(); });
    addButton(QStringLiteral("CJoyOFF"), [&c] { c.CJoyOFF_Click(); });
    addButton(QStringLiteral("CJoystick"), [&c] { c.CJoystick_Click(); });
    addButton(QStringLiteral("c1if"), [&c] { c.c1if_Click(); });
    addButton(QStringLiteral("CTab"), [&c] { c.CTab_Click(); });
    addButton(QStringLiteral("CSWEIN"), [&c] { c.CSWEIN_Click(); });
    addButton(QStringLiteral("CSenden"), [&c] { c.CSenden_Click(); });
    addButton(QStringLiteral("CEMaxMin"), [&c] { c.CEMaxMin_Click(); });
    addButton(QStringLiteral("CAMaxMin"), [this, &c] {
        if (!m_isBusy)
            c.CAMaxMin_Click();
    });
    addButton(QStringLiteral("CMAX"), [this, &c] {
        if (!m_isBusy)
            c.CMAX_Click();
    });
    addButton(QStringLiteral("CMin"), [this, &c] {
        if (!m_isBusy)
            c.CMin_Click();
    });
    for (int i = 0; i < 4; ++i)
        addButton(QStringLiteral("Cposbox_%1").arg(i), [&c, i] { c.Cposbox_Click(i); });
    addButton(QStringLiteral("cmd_exit"), [this] { cmd_exit_Click(); });
}

void frm_ablauf::openForm()
{
    show();
    raise();
    activateWindow();
    Timer1.start();
}

void frm_ablauf::CStart_Click()
{
    if (m_core.isRunning())
        return;
    m_core.CStart_Click();
    m_runTimer.start(0);
}

void frm_ablauf::startFocusing()
{
    // The button is enabled in the state first: a disabled widget takes no focus.
    m_form.render();
    if (ui.CStart->isEnabled())
        ui.CStart->setFocus(Qt::OtherFocusReason);
}

void frm_ablauf::timerStep()
{
    // A modal box inside a step runs a nested event loop: the step that is
    // already running finishes first.
    if (m_isBusy) {
        m_runTimer.start(10);
        return;
    }
    {
        const QScopedValueRollback<bool> busy(m_isBusy, true);
        const DialogOwner owner(this);
        kit::guarded("frm_ablauf step", [this] { m_core.step(); });
    }
    m_form.render();
    if (m_core.isRunning())
        m_runTimer.start(int(std::min(m_core.nextStepIn(), 0.05) * 1000.0));
}

void frm_ablauf::tick()
{
    if (m_isBusy || !m_core.timer1Active())
        return;
    {
        const QScopedValueRollback<bool> busy(m_isBusy, true);
        const DialogOwner owner(this);
        kit::guarded("frm_ablauf Timer1", [this] { m_core.Timer1_Timer(); });
    }
    m_form.render();
}

void frm_ablauf::cmd_exit_Click()
{
    m_runTimer.stop();
    m_core.cmd_exit_Click();
    Timer1.stop();
    hide();
    m_env.leaveScript();
}

void frm_ablauf::closeEvent(QCloseEvent* event)
{
    m_runTimer.stop();
    Timer1.stop();
    event->accept();
    if (m_ended)
        return;
    m_ended = true;
    m_env.finishRun();
}
