#include "frm_Options.h"
#include "Guarded.h"

#include "Format.h"
#include "OptionFlags.h"
#include "UiServices.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <algorithm>
#include <optional>

namespace {
const char* const Captions[9] = {
    "1eW - Fenster", "Mikro. - Sim.",   "Tastercenter", "[1ra]",     "Joystick_Abgleich",
    "AK_Abgleich",   "StartKonfig(IM)", "Tablett",      "Mot - Neu",
};
// Window sizes in twips: code entry, options shown.
constexpr int CodeWidth = 4275, CodeHeight = 1535;
constexpr int OptionsWidth = 4300, OptionsHeight = 3965;

// A flag text as its box takes it: a whole number 0, 1 or 2.
std::optional<int> boxValue(const QString& text)
{
    if (text.trimmed().isEmpty())
        return 0;
    bool ok = false;
    const int v = text.trimmed().toInt(&ok);
    if (!ok || v < 0 || v > 2)
        return std::nullopt;
    return v;
}
}  // namespace

frm_Options::frm_Options(OptionFlags& flags, IUiServices& ui, QWidget* parent)
    : QDialog(parent), m_flags(flags), m_ui(ui)
{
    setWindowTitle(QStringLiteral("Optionen"));
    setModal(false);

    lb_passwort = new QLabel(QStringLiteral("Passwort"), this);
    lb_passwort->setGeometry(8, 6, 180, 18);
    lb_text = new QLineEdit(this);
    lb_text->setGeometry(8, 28, 180, 24);
    lb_text->setEchoMode(QLineEdit::Password);
    lb_ok = new QPushButton(QStringLiteral("OK"), this);
    lb_ok->setGeometry(198, 27, 76, 26);
    lb_ok->setDefault(true);
    connect(lb_ok, &QPushButton::clicked, this, &frm_Options::lb_ok_Click);
    connect(lb_text, &QLineEdit::returnPressed, this, &frm_Options::lb_ok_Click);

    for (int i = 0; i < 9; ++i) {
        auto* box = new QCheckBox(this);
        box->setGeometry(8, 8 + i * 24, 20, 20);
        box->setObjectName(QStringLiteral("cb_check%1").arg(i));
        cb_check[std::size_t(i)] = box;
        auto* label = new QLabel(QString::fromUtf8(Captions[i]), this);
        label->setGeometry(30, 8 + i * 24, 130, 20);
        lb_Befehl[std::size_t(i)] = label;
        connect(box, &QCheckBox::stateChanged, this, [this, i] { cb_check_Click(i); });
    }

    // Below the code-entry area, so they appear with the flags.
    lb_stelle = new QLabel(QStringLiteral("Rundungs- stelle"), this);
    lb_stelle->setWordWrap(true);
    lb_stelle->setGeometry(176, 110, 100, 36);
    cb_stelle = new QComboBox(this);
    cb_stelle->addItems({QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3"), QStringLiteral("4"),
                         QStringLiteral("5"), QStringLiteral("6")});
    cb_stelle->setGeometry(176, 150, 60, 24);
    connect(cb_stelle, &QComboBox::currentIndexChanged, this, &frm_Options::cb_stelle_Click);

    cmd_exit = new QPushButton(QStringLiteral("Exit"), this);
    cmd_exit->setGeometry(176, 220, 100, 28);
    cmd_exit->setAutoDefault(false);
    connect(cmd_exit, &QPushButton::clicked, this, &frm_Options::cmd_exit_Click);

    // The model is the truth: the dialog follows it, also while hidden.
    connect(&m_flags, &OptionFlags::changed, this, &frm_Options::showFlags);

    machneu();
}

QString frm_Options::dayCode(const QDate& date)
{
    QString digits = date.toString(QStringLiteral("yyyyMMdd"));
    std::reverse(digits.begin(), digits.end());
    return digits;
}

QString frm_Options::arraybefehle_get(int i) const
{
    return m_flags.text(i);
}

bool frm_Options::arraybefehle_let(int i, const QString& wert)
{
    if (!OptionFlags::valid(i) || !boxValue(wert))
        return false;
    m_flags.setText(i, wert);
    showFlags();
    return true;
}

void frm_Options::showFlags()
{
    const bool old = m_lock;
    m_lock = true;
    for (int i = 0; i < OptionFlags::Count; ++i) {
        QCheckBox* box = cb_check[std::size_t(i)];
        const int v = boxValue(m_flags.text(i)).value_or(0);
        box->setTristate(v == 2);
        box->setCheckState(v == 1 ? Qt::Checked : v == 2 ? Qt::PartiallyChecked : Qt::Unchecked);
    }
    if (cb_stelle->currentIndex() != m_flags.digitIndex())
        cb_stelle->setCurrentIndex(m_flags.digitIndex());
    m_lock = old;
}

void frm_Options::machneu()
{
    m_optionsShown = false;
    resize(twipsToPixels(CodeWidth), twipsToPixels(CodeHeight));
    for (int i = 0; i < OptionFlags::Count; ++i) {
        lb_Befehl[std::size_t(i)]->hide();
        cb_check[std::size_t(i)]->hide();
    }
    lb_stelle->hide();
    cb_stelle->hide();
    cmd_exit->hide();
    lb_text->show();
    lb_text->clear();
    lb_passwort->show();
    lb_ok->show();
    // The access code is typed at once; Enter is OK and Escape is Exit.
    lb_text->setFocus(Qt::OtherFocusReason);
    showFlags();
}

void frm_Options::optionen_anzeigen()
{
    for (int i = 0; i < OptionFlags::Count; ++i) {
        lb_Befehl[std::size_t(i)]->show();
        cb_check[std::size_t(i)]->show();
    }
    lb_stelle->show();
    cb_stelle->show();
    cmd_exit->show();
}

void frm_Options::lb_ok_Click()
{
    const QString code = lb_text->text();
    const QDate today = todayFn ? todayFn() : QDate::currentDate();
    const bool accepted =
        code == QLatin1String("zq") || code == QLatin1String("brimolat") || (today.isValid() && code == dayCode(today));
    if (!accepted) {
        // The box takes the focus; its return is no new activation.
        m_ownMessage = true;
        m_ui.message(QStringLiteral("Falsches Passwort"), {}, MsgButtons::Ok);
        m_ownMessage = false;
        return;
    }
    lb_text->hide();
    lb_passwort->hide();
    lb_ok->hide();
    resize(twipsToPixels(OptionsWidth), twipsToPixels(OptionsHeight));
    m_optionsShown = true;
    optionen_anzeigen();
}

void frm_Options::cb_check_Click(int i)
{
    if (m_lock)
        return;
    QCheckBox* box = cb_check[std::size_t(i)];
    // Greyed is a state the program sets; a click leaves it for good.
    if (box->checkState() != Qt::PartiallyChecked && box->isTristate()) {
        const bool old = m_lock;
        m_lock = true;
        box->setTristate(false);
        m_lock = old;
    }
    const int v = box->checkState() == Qt::Checked ? 1 : box->checkState() == Qt::PartiallyChecked ? 2 : 0;
    m_flags.setText(i, QString::number(v));
}

void frm_Options::cb_stelle_Click(int index)
{
    if (m_lock || index < 0)
        return;
    m_flags.setDigitIndex(index);
}

void frm_Options::cmd_exit_Click()
{
    Tag = QStringLiteral("0");
    hide();
    if (ended)
        kit::guarded("options: beendet", ended);
    machneu();
}

bool frm_Options::event(QEvent* e)
{
    if (e->type() == QEvent::WindowDeactivate) {
        m_skipActivate = m_ownMessage;
    } else if (e->type() == QEvent::WindowActivate) {
        if (m_skipActivate || m_ownMessage)
            m_skipActivate = false;
        else
            machneu();
    }
    return QDialog::event(e);
}

void frm_Options::closeEvent(QCloseEvent* e)
{
    // Closing the window is Exit: the main window must not stay locked.
    e->ignore();
    cmd_exit_Click();
}

void frm_Options::reject()
{
    cmd_exit_Click();
}
