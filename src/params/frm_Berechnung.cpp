#include "frm_Berechnung.h"

#include "ComboHeight.h"
#include "ui_frm_Berechnung.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {
struct Box
{
    const char* captionText;
    const char* unitLabel;  // unit label's object name, or the fixed unit text
    bool ownLabel;
};
constexpr Box kBoxes[BerechnungCore::BoxCount] = {
    {"Mot.- Spg.-Konst.", "V/1000U", false},
    {"Spannung", "V", false},
    {"Gear", ": 1", false},
    {"leadscrew", "mm/U", false},
    {"", "Label1_3", true},
    {"Interpol.", "", false},
    {"MOT-Konst-", "", false},
    {"Mot-Faktor", "Label3", true},
    {"Vmax", "Label5", true},
    {"Vmin", "Label6", true},
    {"amin", "Label7", true},
};
}  // namespace

frm_Berechnung::frm_Berechnung(ParamWindowEnv env, QWidget* parent)
    : QWidget(parent), m_core(std::move(env)), m_ui(std::make_unique<Ui::frm_Berechnung>()), m_form(this)
{
    m_ui->setupUi(this);
    auto* raster = new QGridLayout(m_ui->boxPanel);
    raster->setContentsMargins(0, 0, 0, 0);
    for (int n = 0; n < BerechnungCore::BoxCount; ++n) {
        const Box& b = kBoxes[n];
        QLabel* titleLabel =
            n == 4 ? new QLabel(m_ui->boxPanel) : new QLabel(QString::fromUtf8(b.captionText), m_ui->boxPanel);
        if (n == 4)
            titleLabel->setObjectName(QStringLiteral("lb_Scale"));
        auto* box = new QLineEdit(m_ui->boxPanel);
        box->setObjectName(QStringLiteral("text_MFB_%1").arg(n));
        auto* unitLabel = new QLabel(m_ui->boxPanel);
        if (b.ownLabel)
            unitLabel->setObjectName(QString::fromLatin1(b.unitLabel));
        else
            unitLabel->setText(QString::fromUtf8(b.unitLabel));
        raster->addWidget(titleLabel, n, 0);
        raster->addWidget(box, n, 1);
        raster->addWidget(unitLabel, n, 2);
        m_form.entry(box->objectName(), m_core.text_MFB[std::size_t(n)],
                     {.keys = kit::Keys::Decimal,
                      .enter = [box] { box->setFocus(); },
                      .lostFocus = [this, n] { m_core.text_MFB_LostFocus(n); }});
    }
    m_form.setDecimalComma(m_core.usesComma());
    m_form.caption(BerechnungCore::Caption);
    m_form.list(QStringLiteral("cb_adressenauswahl"), m_core.cb_adressenauswahl,
                [this] { m_core.cb_adressenauswahl_Click(); });
    m_form.lamp(QStringLiteral("sh_an_aus"), m_core.sh_an_aus);
    m_form.entry(QStringLiteral("text_Achsenbezeichnung"), m_core.text_Achsenbezeichnung);
    m_form.entry(QStringLiteral("text_regelP"), m_core.text_regelP);
    for (const auto& [name, control] : {std::pair{"lb_Scale", &m_core.lb_Scale},
                                        {"Label1_3", &m_core.Label1_3},
                                        {"Label3", &m_core.Label3},
                                        {"Label5", &m_core.Label5},
                                        {"Label6", &m_core.Label6},
                                        {"Label7", &m_core.Label7},
                                        {"Label8", &m_core.Label8},
                                        {"lb_aufloesung", &m_core.lb_aufloesung},
                                        {"lb_ST_Sec", &m_core.lb_ST_Sec}})
        m_form.label(QString::fromLatin1(name), *control);
    m_form.button(QStringLiteral("chb_Massstab"), m_core.chb_Massstab, [this] { m_core.chb_Massstab_Click(); });
    m_form.button(QStringLiteral("chb_drehantrieb"), m_core.chb_drehantrieb,
                  [this] { m_core.chb_drehantrieb_Click(); });
    m_form.button(QStringLiteral("cb_ESP"), m_core.cb_ESP, [this] { m_core.cb_ESP_Click(); });
    m_form.button(QStringLiteral("cb_ESM"), m_core.cb_ESM, [this] { m_core.cb_ESM_Click(); });
    m_form.button(QStringLiteral("cb_IP"), m_core.cb_IP, [this] { m_core.cb_IP_Click(); });
    m_form.button(QStringLiteral("cb_IM"), m_core.cb_IM, [this] { m_core.cb_IM_Click(); });
    m_form.button(QStringLiteral("ob_MotFak_0"), m_core.ob_MotFak[0], [this] { m_core.ob_MotFak_Click(0); });
    m_form.button(QStringLiteral("ob_MotFak_1"), m_core.ob_MotFak[1], [this] { m_core.ob_MotFak_Click(1); });
    m_form.range(QStringLiteral("sb_regelkreisH"), m_core.sb_regelkreisH, [this] { m_core.sb_regelkreisH_Change(); });
    m_form.button(QStringLiteral("cmd_Berechnung"), m_core.cmd_Berechnung, [this] { m_core.cmd_Berechnung_Click(); });
    m_form.button(QStringLiteral("cmd_IM"), m_core.cmd_IM, [this] { m_core.cmd_IM_Click(); });
    m_form.button(QStringLiteral("cmd_KopEin_0"), m_core.cmd_KopEin[0], [this] { m_core.cmd_KopEin_Click(0); });
    m_form.button(QStringLiteral("cmd_KopEin_1"), m_core.cmd_KopEin[1], [this] { m_core.cmd_KopEin_Click(1); });
    m_form.button(QStringLiteral("cmd_exit"), m_core.cmd_exit, [this] {
        // A box being edited loses the focus first and stores its value.
        m_ui->cmd_exit->setFocus();
        m_core.cmd_exit_Click();
    });
    kit::combo_hoehe(*m_ui->cb_adressenauswahl, 420);
    m_form.render();
}

frm_Berechnung::~frm_Berechnung() = default;

void frm_Berechnung::run(const char* where, const std::function<void()>& fn)
{
    m_form.handle(where, fn);
}

void frm_Berechnung::closeEvent(QCloseEvent* event)
{
    event->ignore();
    if (isVisible())
        run("frm_Berechnung cmd_exit", [this] { m_core.cmd_exit_Click(); });
}
