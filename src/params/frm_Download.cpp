#include "frm_Download.h"

#include "ComboHeight.h"
#include "ui_frm_Download.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>

frm_Download::frm_Download(ParamWindowEnv env, QWidget* parent)
    : QWidget(parent), m_core(std::move(env)), m_ui(std::make_unique<Ui::frm_Download>()), m_form(this)
{
    m_ui->setupUi(this);
    auto* raster = new QGridLayout(m_ui->rowPanel);
    raster->setContentsMargins(0, 0, 0, 0);
    raster->setVerticalSpacing(2);
    QString lastFrame;
    int zeile = 0;
    for (int i = 0; i < DownloadCore::MaxRows; ++i) {
        const auto& z = DownloadCore::tabelle()[std::size_t(i)];
        if (!DownloadCore::isUsed(i))
            continue;
        const QString frameCaption = QString::fromLatin1(z.frameCaption);
        if (frameCaption != lastFrame) {
            auto* titleLabel = new QLabel(QStringLiteral("<b>%1</b>").arg(frameCaption), m_ui->rowPanel);
            raster->addWidget(titleLabel, zeile++, 0, 1, 5);
            lastFrame = frameCaption;
        }
        const std::size_t s = std::size_t(i);
        // Row 22 is written only by "K-EEPROM": its caption is a plain label
        // ("Alles markieren" is its mark box).
        QWidget* mark = i == 22 ? static_cast<QWidget*>(new QLabel(QString::fromLatin1(z.captionText), m_ui->rowPanel))
                                : new QCheckBox(QString::fromLatin1(z.captionText), m_ui->rowPanel);
        if (*z.tooltip)
            mark->setToolTip(QString::fromLatin1(z.tooltip));
        auto* box = new QLineEdit(m_ui->rowPanel);
        box->setObjectName(QStringLiteral("text_download_%1").arg(i));
        box->setMaximumWidth(z.rowKind == DownloadCore::RowKind::Text ? 200 : 120);
        auto* unitLabel = new QLabel(m_ui->rowPanel);
        unitLabel->setObjectName(QStringLiteral("lb_einheit_%1").arg(i));
        unitLabel->setMinimumWidth(50);
        auto* antwort = new QLabel(m_ui->rowPanel);
        antwort->setObjectName(QStringLiteral("lb_antwort_%1").arg(i));
        antwort->setMinimumWidth(220);
        raster->addWidget(mark, zeile, 0);
        raster->addWidget(box, zeile, 1);
        raster->addWidget(unitLabel, zeile, 2);
        raster->addWidget(antwort, zeile, 3);
        ++zeile;
        if (i != 22) {
            mark->setObjectName(QStringLiteral("cb_markierung_%1").arg(i));
            m_form.button(mark->objectName(), m_core.cb_markierung[s]);
        }
        kit::EntryEvents ev;
        ev.keys = z.rowKind == DownloadCore::RowKind::Text ? kit::Keys::Any : kit::Keys::SignedDecimal;
        ev.change = [this, i] { m_core.text_download_Change(i); };
        ev.enter = [] {};  // dropped, as every key the filter refuses
        ev.lostFocus = [this, i] { m_core.text_download_LostFocus(i); };
        m_form.entry(box->objectName(), m_core.text_download[s], ev);
        m_form.label(unitLabel->objectName(), m_core.lb_unit[s]);
        m_form.label(antwort->objectName(), m_core.lb_antwort[s]);
    }
    raster->setColumnStretch(3, 1);

    m_form.setDecimalComma(m_core.usesComma());
    m_form.caption(DownloadCore::Caption);
    m_form.list(QStringLiteral("cb_adressenauswahl"), m_core.cb_adressenauswahl,
                [this] { m_core.cb_adressenauswahl_Click(); });
    m_form.list(QStringLiteral("cb_Adressenwechsel"), m_core.cb_Adressenwechsel,
                [this] { m_core.cb_Adressenwechsel_Click(); });
    m_form.list(QStringLiteral("cb_baudbr"), m_core.cb_baudbr, [this] { m_core.cb_baudbr_Click(); });
    m_form.lamp(QStringLiteral("sh_an_aus"), m_core.sh_an_aus);
    m_form.button(QStringLiteral("cb_markierung_22"), m_core.cb_markierung[22],
                  [this] { m_core.cb_markierung_Click(22); });
    m_form.button(QStringLiteral("cmd_auslesen"), m_core.cmd_auslesen, [this] { m_core.cmd_auslesen_Click(); });
    m_form.button(QStringLiteral("cmd_download"), m_core.cmd_download, [this] { m_core.cmd_download_Click(); });
    m_form.button(QStringLiteral("cmd_EEPROM"), m_core.cmd_EEPROM, [this] { m_core.cmd_EEPROM_Click(); });
    m_form.button(QStringLiteral("cmd_Kanal_EEPROM"), m_core.cmd_Kanal_EEPROM,
                  [this] { m_core.cmd_Kanal_EEPROM_Click(); });
    m_form.button(QStringLiteral("cmd_Achsenwechsel"), m_core.cmd_Achsenwechsel,
                  [this] { m_core.cmd_Achsenwechsel_Click(); });
    m_form.button(QStringLiteral("cmd_baudbr"), m_core.cmd_baudbr, [this] { m_core.cmd_baudbr_Click(); });
    m_form.button(QStringLiteral("cmd_KopEin_0"), m_core.cmd_KopEin[0], [this] { m_core.cmd_KopEin_Click(0); });
    m_form.button(QStringLiteral("cmd_KopEin_1"), m_core.cmd_KopEin[1], [this] { m_core.cmd_KopEin_Click(1); });
    m_form.button(QStringLiteral("cmd_exit"), m_core.cmd_exit, [this] { m_core.cmd_exit_Click(); });
    kit::combo_hoehe(*m_ui->cb_adressenauswahl, 420);
    kit::combo_hoehe(*m_ui->cb_Adressenwechsel, 420);
    m_form.render();
}

frm_Download::~frm_Download() = default;

void frm_Download::run(const char* where, const std::function<void()>& fn)
{
    m_form.handle(where, fn);
}

void frm_Download::closeEvent(QCloseEvent* event)
{
    // The window stays loaded; closing it is its exit button.
    event->ignore();
    if (isVisible())
        run("frm_Download cmd_exit", [this] { m_core.cmd_exit_Click(); });
}
