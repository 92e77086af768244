#pragma once
// The options dialog "Optionen": behind an access code it shows the nine
// option flags and the rounding digits of the position display. It edits the
// OptionFlags model, which keeps the flags while the dialog is closed; the
// menu effects of the flags follow that model (OptionMenus.h).
//
// Every activation returns it to code entry ("machneu"); a wrong code shows
// "Falsches Passwort". Three codes open it: "zq", "brimolat", and the day's
// code, the digits of the date as yyyyMMdd read backwards (2024-03-15 gives
// "51304202").

#include <QDate>
#include <QDialog>
#include <QString>

#include <array>
#include <functional>

class IUiServices;
class OptionFlags;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

class frm_Options final : public QDialog
{
    Q_OBJECT
public:
    frm_Options(OptionFlags& flags, IUiServices& ui, QWidget* parent = nullptr);

    // Flag i as text ("0", "1", "2", or empty before it was first set); the
    // empty text for i outside 0..8.
    QString arraybefehle_get(int i) const;
    // Sets flag i from a text holding 0, 1 or 2 (2 shows the box greyed and
    // counts as off). False, and nothing changed, for i outside 0..8 or any
    // other text.
    bool arraybefehle_let(int i, const QString& wert);

    // Back to code entry; the boxes show the stored flags.
    void machneu();
    bool optionsVisible() const { return m_optionsShown; }

    // The access code of a day.
    static QString dayCode(const QDate& date);

    // "1" while the main menu's "Optionen" entry has the dialog open.
    QString Tag;
    // Exit: the main window unlocks its menus, sets com_motflag = 1 and
    // switches its timer on again.
    std::function<void()> ended;
    // Today's date (tests fix it).
    std::function<QDate()> todayFn;

    // The controls, by their names.
    QLabel* lb_passwort = nullptr;
    QLineEdit* lb_text = nullptr;
    QPushButton* lb_ok = nullptr;
    std::array<QCheckBox*, 9> cb_check{};
    std::array<QLabel*, 9> lb_Befehl{};
    QLabel* lb_stelle = nullptr;
    QComboBox* cb_stelle = nullptr;
    QPushButton* cmd_exit = nullptr;

public slots:
    void lb_ok_Click();
    void cmd_exit_Click();

protected:
    bool event(QEvent* e) override;
    void closeEvent(QCloseEvent* e) override;
    void reject() override;

private:
    void cb_check_Click(int i);
    void cb_stelle_Click(int index);
    void optionen_anzeigen();
    void showFlags();

    OptionFlags& m_flags;
    IUiServices& m_ui;
    bool m_optionsShown = false;
    bool m_lock = false;          // the dialog itself sets its controls
    bool m_ownMessage = false;    // our own message box is open
    bool m_skipActivate = false;  // the coming activation is the return from it
};
