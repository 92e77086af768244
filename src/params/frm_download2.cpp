#include "frm_download2.h"

#include "ComboHeight.h"
#include "Guarded.h"
#include "ui_frm_download2.h"

#include <QApplication>
#include <QCloseEvent>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QScopedValueRollback>
#include <QStyle>
#include <QToolButton>

#include <algorithm>

namespace {
constexpr int RowsPerColumn = 26;
}  // namespace

frm_download2::frm_download2(ScriptEnv env, QWidget* parent)
    : QWidget(parent, Qt::Tool), m_core(std::move(env)), m_ui(std::make_unique<Ui::frm_download2>()), m_form(this)
{
    m_ui->setupUi(this);
    buildRows();
    bindControls();
    m_runTimer.setSingleShot(true);
    connect(&m_runTimer, &QTimer::timeout, this, [this] { timerStep(); });
    kit::combo_hoehe(*m_ui->cb_adressenauswahl, 750);
    m_core.Form_Load();
    m_form.render();
}

frm_download2::~frm_download2() = default;

void frm_download2::buildRows()
{
    // The 78 lines, three columns of 26, each a line box and its reply label.
    auto* raster = new QGridLayout(m_ui->rowPanel);
    raster->setContentsMargins(0, 0, 0, 0);
    raster->setHorizontalSpacing(4);
    raster->setVerticalSpacing(1);
    for (int i = 0; i < ScriptCore::MaxRows; ++i) {
        const int zeile = i % RowsPerColumn;
        const int columnOffset = (i / RowsPerColumn) * 3;
        auto* rowNumber = new QLabel(QString::number(i), m_ui->rowPanel);
        rowNumber->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        rowNumber->setMinimumWidth(18);
        auto* text = new QLineEdit(m_ui->rowPanel);
        text->setObjectName(QStringLiteral("text_Befehl_%1").arg(i));
        text->setMinimumWidth(150);
        auto* label = new QLabel(m_ui->rowPanel);
        label->setObjectName(QStringLiteral("lb_Befehl_%1").arg(i));
        label->setMinimumWidth(150);
        label->setFrameShape(QFrame::Panel);
        label->setFrameShadow(QFrame::Sunken);
        label->setAutoFillBackground(true);
        raster->addWidget(rowNumber, zeile, columnOffset);
        raster->addWidget(text, zeile, columnOffset + 1);
        raster->addWidget(label, zeile, columnOffset + 2);
    }
    m_ui->AblLD->setIcon(style()->standardIcon(QStyle::SP_DialogOpenButton));
    m_ui->AblSP->setIcon(style()->standardIcon(QStyle::SP_DialogSaveButton));
    m_ui->cmd_exit->setIcon(style()->standardIcon(QStyle::SP_DialogCloseButton));
}

void frm_download2::bindControls()
{
    ScriptCore& c = m_core;
    kit::Form& f = m_form;
    f.caption(c.caption);
    for (int i = 0; i < ScriptCore::MaxRows; ++i) {
        f.entry(QStringLiteral("text_Befehl_%1").arg(i), c.text_Befehl[i],
                {.change = [&c, i] { c.text_Befehl_Change(i); }});
        f.label(QStringLiteral("lb_Befehl_%1").arg(i), c.lb_Befehl[i]);
        f.mouseUp(QStringLiteral("lb_Befehl_%1").arg(i), [this, &c, i](int button) {
            if (!m_isBusy)
                m_form.handle("lb_Befehl", [&c, i, button] { c.lb_Befehl_MouseDown(i, button); });
        });
    }
    f.list(QStringLiteral("cb_adressenauswahl"), c.cb_adressenauswahl, [this, &c] {
        if (!m_isBusy)
            c.cb_adressenauswahl_Click();
    });
    f.label(QStringLiteral("lb_adresse"), c.lb_adresse);
    f.lamp(QStringLiteral("sh_an_aus"), c.sh_an_aus);
    f.entry(QStringLiteral("tb_wait"), c.tb_wait, {.keys = kit::Keys::Unsigned});
    f.button(QStringLiteral("Check1"), c.Check1, [&c] { c.Check1_Click(); });
    f.label(QStringLiteral("zaehler"), c.zaehler);
    f.button(QStringLiteral("cmd_download"), c.cmd_download, [this] { cmd_download_Click(); });
    f.button(QStringLiteral("cmd_readout"), c.cmd_readout, [&c] { c.cmd_readout_Click(); });
    f.button(QStringLiteral("Command1"), c.Command1, [&c] { c.Command1_Click(); });
    f.button(QStringLiteral("AblLD"), c.AblLD, [&c] { c.AblLD_Click(); });
    f.button(QStringLiteral("AblSP"), c.AblSP, [&c] { c.AblSP_Click(); });
    f.button(QStringLiteral("cmd_exit"), c.cmd_exit, [this, &c] {
        c.cmd_exit_Click();
        weiter();
    });
}

void frm_download2::fillAddresses(const QStringList& entries)
{
    m_core.cb_adressenauswahl.clear();
    for (const QString& e : entries)
        m_core.cb_adressenauswahl.addItem(e);
    m_form.render();
}

void frm_download2::cmd_download_Click()
{
    if (m_core.isRunning())
        return;
    m_core.cmd_download_Click();
    weiter();
}

void frm_download2::weiter()
{
    if (m_core.isRunning())
        m_runTimer.start(int(std::min(m_core.nextStepIn(), 0.05) * 1000.0));
}

void frm_download2::timerStep()
{
    // A modal box inside a step runs a nested event loop: the step that is
    // already running finishes first.
    if (m_isBusy) {
        m_runTimer.start(10);
        return;
    }
    {
        const QScopedValueRollback<bool> busy(m_isBusy, true);
        kit::guarded("frm_download2 step", [this] { m_core.step(); });
    }
    m_form.render();
    weiter();
}

void frm_download2::closeView()
{
    kit::guarded("frm_download2 close", [this] { m_core.closeView(); });
    m_form.render();
    // A pause ends at once; the run ends on its next step.
    if (m_core.isRunning())
        m_runTimer.start(0);
}

void frm_download2::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() != QEvent::ActivationChange)
        return;
    if (!isActiveWindow()) {
        // Leaving for a modal box of our own (file dialog, question, error
        // box) is no change of window: its return must not clear the replies.
        m_dialogActive = m_dialogActive || QApplication::activeModalWidget() != nullptr;
        return;
    }
    if (std::exchange(m_dialogActive, false) || m_isBusy || m_core.isRunning() || !isVisible())
        return;
    m_form.handle("frm_download2 Form_Activate", [this] { m_core.Form_Activate(); });
}

void frm_download2::closeEvent(QCloseEvent* event)
{
    // The close box closes like the exit button.
    event->accept();
    if (isVisible())
        m_form.handle("frm_download2 close", [this] { m_core.cmd_exit_Click(); });
    weiter();
}
