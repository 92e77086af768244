#include "frm_init.h"

#include "Format.h"
#include "Guarded.h"
#include "ui_frm_init.h"
#include "ui_frm_init2.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>

namespace {
// The rows of a list, made in code: text_Befehl_k with its ">" button cmd_senden_k.
void commandLines(QWidget* container, kit::Form& form, InitListCore& core, bool enterSends)
{
    auto* raster = new QGridLayout(container);
    raster->setContentsMargins(0, 0, 0, 0);
    raster->setSpacing(1);
    for (int k = 0; k < core.size(); ++k) {
        auto* text = new QLineEdit(container);
        text->setObjectName(QStringLiteral("text_Befehl_%1").arg(k));
        text->setMinimumWidth(130);
        auto* sendButton = new QPushButton(QStringLiteral(">"), container);
        sendButton->setObjectName(QStringLiteral("cmd_senden_%1").arg(k));
        sendButton->setMaximumWidth(28);
        raster->addWidget(text, k, 0);
        raster->addWidget(sendButton, k, 1);
        kit::EntryEvents ev;
        ev.change = [&core, k] { core.text_Befehl_Change(k); };
        if (enterSends)
            ev.enter = [&core, k] { core.cmd_senden_Click(k); };
        form.entry(text->objectName(), core.text_Befehl[std::size_t(k)], ev);
        QObject::connect(sendButton, &QPushButton::clicked, container,
                         [&form, &core, k] { form.handle("cmd_senden", [&core, k] { core.cmd_senden_Click(k); }); });
    }
}
}  // namespace

frm_init::frm_init(InitListCore& core, QWidget* parent)
    : QWidget(parent, Qt::Tool), m_core(core), m_ui(std::make_unique<Ui::frm_init>()), m_form(this)
{
    m_ui->setupUi(this);
    commandLines(m_ui->commandPanel, m_form, m_core, true);
    m_ui->controllerLayout->setStretchFactor(m_ui->sli_wert, 1);
    m_form.caption(m_core.caption);
    m_form.button(QStringLiteral("cb_start"), m_core.cb_start, [this] { m_core.cb_start_Click(); });
    m_form.entry(QStringLiteral("tb_regler"), m_core.tb_regler);
    m_form.label(QStringLiteral("Label1"), m_core.Label1);
    m_form.label(QStringLiteral("Label2"), m_core.Label2);
    // The register follows the slider while it is dragged.
    const auto wert = [this] { m_core.sli_wert_Change(); };
    m_form.range(QStringLiteral("sli_wert"), m_core.sli_wert, wert, wert);
    m_form.entry(QStringLiteral("lb_wert"), m_core.lb_wert,
                 {.keys = kit::Keys::Hex,
                  .enter = [this] { m_ui->sli_wert->setFocus(); },
                  .lostFocus = [this] { m_core.lb_wert_LostFocus(); }});
    m_form.render();
}

frm_init::~frm_init() = default;

void frm_init::render()
{
    // 5190 twips wide with the slider part ("Init-Regler" checked), 2730 without.
    const bool hasController = m_core.widthPx > 2730;
    if (m_ui->controllerFrame->isVisibleTo(this) != hasController || m_width != m_core.widthPx) {
        m_ui->controllerFrame->setVisible(hasController);
        m_width = m_core.widthPx;
        resize(twipsToPixels(m_core.widthPx), height());
    }
    m_form.render();
}

void frm_init::Form_Activate()
{
    m_core.an_aus = an_aus;
    m_core.index = CCIndex;
    kit::guarded("frm_init Form_Activate", [this] { m_core.Form_Activate(); });
    an_aus = m_core.an_aus;
    render();
}

void frm_init::Show()
{
    // Sized before it is shown: a window manager may keep the size a window
    // was shown with over a resize that follows at once.
    if (!isVisible()) {
        m_core.takeWidth();
        render();
    }
    IInitWindow::Show();
}

void frm_init::SetFocus()
{
    show();
    raise();
    activateWindow();
    Form_Activate();
}

bool frm_init::event(QEvent* e)
{
    if (e->type() == QEvent::WindowActivate && isVisible())
        Form_Activate();
    return QWidget::event(e);
}

void frm_init::setCb_start(bool checked)
{
    // Unticking a ticked box stops the axis, as the operator's click would.
    if (m_core.cb_start.checked != checked) {
        m_core.cb_start.checked = checked;
        m_core.cb_start_Click();
    }
    m_form.render();
}

void frm_init::setLb_wert(const QString& text)
{
    m_core.setLb_wert(text);
    m_form.render();
}

void frm_init::setSli_wert(int value)
{
    m_core.setSli_wert(value);
    m_form.render();
}

void frm_init::closeEvent(QCloseEvent* event)
{
    m_core.index = CCIndex;
    kit::guarded("frm_init Form_Unload", [this] { m_core.Form_Unload(); });
    event->accept();
}

frm_init2::frm_init2(InitListCore& core, QWidget* parent)
    : QWidget(parent, Qt::Tool), m_core(core), m_ui(std::make_unique<Ui::frm_init2>()), m_form(this)
{
    m_ui->setupUi(this);
    commandLines(m_ui->commandPanel, m_form, m_core, false);
    m_form.caption(m_core.caption);
    m_form.render();
}

frm_init2::~frm_init2() = default;

void frm_init2::cmd_Init(int n)
{
    setEnabled(true);
    show();
    m_core.bindControls(n);
    SetFocus();
}

void frm_init2::Form_Activate()
{
    kit::guarded("frm_init2 Form_Activate", [this] { m_core.Form_Activate(); });
    m_form.render();
}

void frm_init2::render()
{
    m_form.render();
}

void frm_init2::SetFocus()
{
    show();
    raise();
    activateWindow();
    Form_Activate();
}

bool frm_init2::event(QEvent* e)
{
    if (e->type() == QEvent::WindowActivate && isVisible())
        Form_Activate();
    return QWidget::event(e);
}

void frm_init2::closeEvent(QCloseEvent* event)
{
    kit::guarded("frm_init2 Form_Unload", [this] { m_core.Form_Unload(); });
    event->accept();
}
