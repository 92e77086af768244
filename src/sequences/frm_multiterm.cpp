#include "frm_multiterm.h"

#include "Guarded.h"
#include "UiServices.h"
#include "ui_frm_multiterm.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {
// The row table: object name, column and width of each control of a row.
struct Column
{
    const char* name;
    int widthPx;
};
const Column Columns[] = {{"Text1", 40}, {"tsend", 180}, {"csend", 20}, {"Cosend", 30}, {"tempf", 260}};
}  // namespace

frm_multiterm::frm_multiterm(MultitermWindowEnv env, QWidget* parent)
    : QWidget(parent), m_env(std::move(env)), m_core(m_env.core), m_ui(std::make_unique<Ui::frm_multiterm>()),
      m_form(this)
{
    m_ui->setupUi(this);
    auto* raster = new QGridLayout(m_ui->rowPanel);
    raster->setSpacing(2);
    raster->addWidget(new QLabel(QStringLiteral("Modul"), m_ui->rowPanel), 0, 0);
    raster->addWidget(new QLabel(QStringLiteral("Befehl"), m_ui->rowPanel), 0, 1);
    raster->addWidget(new QLabel(QStringLiteral("Antwort"), m_ui->rowPanel), 0, 4);
    for (int i = 0; i < MultitermCore::MaxRows; ++i) {
        for (int s = 0; s < int(std::size(Columns)); ++s) {
            QWidget* w = nullptr;
            const QString name = QLatin1String(Columns[s].name);
            if (name == QLatin1String("csend"))
                w = new QCheckBox(m_ui->rowPanel);
            else if (name == QLatin1String("Cosend"))
                w = new QPushButton(QStringLiteral(">"), m_ui->rowPanel);
            else
                w = new QLineEdit(m_ui->rowPanel);
            w->setObjectName(QStringLiteral("%1_%2").arg(name).arg(i));
            w->setMinimumWidth(Columns[s].widthPx);
            if (s == 0 || s == 3)
                w->setMaximumWidth(Columns[s].widthPx + 10);
            raster->addWidget(w, i + 1, s);
        }
    }
    MultitermCore& c = m_core;
    kit::Form& f = m_form;
    for (int i = 0; i < MultitermCore::MaxRows; ++i) {
        f.entry(QStringLiteral("Text1_%1").arg(i), c.Text1[i], {.keys = kit::Keys::Hex});
        f.entry(QStringLiteral("tsend_%1").arg(i), c.tsend[i], {.change = [&c, i] { c.tsend_Change(i); }});
        f.button(QStringLiteral("csend_%1").arg(i), c.csend[i]);
        f.entry(QStringLiteral("tempf_%1").arg(i), c.tempf[i]);
        auto* b = f.get<QPushButton>(QStringLiteral("Cosend_%1").arg(i));
        connect(b, &QPushButton::clicked, this,
                [this, i] { m_form.handle("Cosend", [this, i] { m_core.Cosend_Click(i); }); });
    }
    f.button(QStringLiteral("cDauer"), c.cDauer, [&c] { c.cDauer_Click(); });
    f.button(QStringLiteral("chWaitpos"), c.chWaitpos, [&c] { c.chWaitpos_Click(); });
    f.range(QStringLiteral("VTyp"), c.VTyp, [&c] { c.VTyp_Change(); });
    f.range(QStringLiteral("VBox"), c.VBox, [&c] { c.VBox_Change(); });
    f.entry(QStringLiteral("tTyp"), c.tTyp);
    f.entry(QStringLiteral("tBox"), c.tBox);
    f.label(QStringLiteral("ltyp"), c.ltyp);
    f.label(QStringLiteral("lZeit"), c.lZeit);
    f.label(QStringLiteral("lDauer"), c.lDauer);
    f.label(QStringLiteral("lFehler"), c.lFehler);
    const auto addButton = [this](const char* name, std::function<void()> fn) {
        connect(m_form.get<QPushButton>(QLatin1String(name)), &QPushButton::clicked, this,
                [this, fn] { m_form.handle("button", fn); });
    };
    addButton("CSenden", [&c] { c.CSenden_Click(); });
    addButton("ptestld", [&c] { c.ptestld_Click(); });
    addButton("pTestsp", [&c] { c.pTestsp_Click(); });
    connect(m_form.get<QPushButton>(QStringLiteral("cmd_exit")), &QPushButton::clicked, this, [this] {
        m_core.cmd_exit_Click();
        Timer1.stop();
        hide();
        m_env.leaveScript();
    });
    m_form.setAfterEvent([this] { timerFollow(); });
    Timer1.setInterval(20);
    connect(&Timer1, &QTimer::timeout, this, [this] {
        const DialogOwner owner(this);
        kit::guarded("frm_multiterm Timer1", [this] { m_core.Timer1_Timer(); });
        timerFollow();
        m_form.render();
    });
    m_core.Form_Load();
    m_form.render();
}

frm_multiterm::~frm_multiterm()
{
    m_ended = true;
}

void frm_multiterm::timerFollow()
{
    // The timer runs only for "Dauer" mode; it is started when the box is ticked.
    if (m_core.timer1An() && m_core.cDauer.checked) {
        if (!Timer1.isActive())
            Timer1.start();
    } else {
        Timer1.stop();
    }
}

void frm_multiterm::openForm()
{
    show();
    raise();
    activateWindow();
    timerFollow();
}

void frm_multiterm::closeEvent(QCloseEvent* event)
{
    Timer1.stop();
    event->accept();
    if (m_ended)
        return;
    m_ended = true;
    m_env.finishRun();
}
