#pragma once
// The axis control center window: the controls of one axis (address list,
// lamp, position, result line, limit switches and software limits, speed and
// acceleration, drive modes and types, distance, move buttons, continuous-run
// slider, travel picture, queries and tool-window buttons). It shows the state
// of ControlCenterCore and hands every operator action to the core's handler
// of the same name; it does no bus work of its own.

#include "ControlCenterCore.h"

#include <QHash>
#include <QWidget>

#include <array>
#include <functional>

class ParamsContext;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QScrollBar;
class QSlider;
class frm_main;

// The travel picture: carriage and the two software-limit marks.
class Grafikbild final : public QWidget
{
public:
    explicit Grafikbild(const ControlCenterCore& core, QWidget* parent = nullptr);
    QSize sizeHint() const override;
    std::function<void(int button)> mausLos;

protected:
    void paintEvent(QPaintEvent*) override;
    void mouseReleaseEvent(QMouseEvent* e) override;

private:
    const ControlCenterCore& m_core;
};

class frm_Controlcenter final : public QWidget, public ControlCenterCore
{
public:
    frm_Controlcenter(ControlCenterEnv env, QWidget* parent = nullptr);
    ~frm_Controlcenter() override;

    QWidget* form() const override { return const_cast<frm_Controlcenter*>(this); }

    // The main loop's calls; a failing step never leaves the window.
    int Initialisierung() override;
    int Aktualisieren() override;
    void auslesen() override;

    void adressenLeeren() override;
    void adresseAnfuegen(const QString& entry) override;
    void setLine_schlitten(int left, quint32 backColor) override;

    // Shows the current state in the controls.
    void render();

    // --- the controls, named as the window names them -----------------------------
    QComboBox* cb_adressenauswahl = nullptr;
    QLabel* lb_adresse = nullptr;
    QWidget* sh_an_aus = nullptr;
    QLabel* lb_POS = nullptr;
    QLabel* lb_Fehler = nullptr;
    QCheckBox* cb_IN = nullptr;
    QLabel* lb_ESM = nullptr;
    QLabel* lb_ESP = nullptr;
    QLineEdit* text_SLM = nullptr;
    QLineEdit* text_SLP = nullptr;
    QLabel* lb_messtischweg = nullptr;
    QScrollBar* sli_v = nullptr;
    QScrollBar* sli_a = nullptr;
    QLineEdit* text_Geschwindigkeit = nullptr;
    QLineEdit* text_Beschleunigung = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    std::array<QRadioButton*, 4> Fahrart{};
    QLabel* lb_joyart = nullptr;
    QGroupBox* fr_Fahrart2 = nullptr;
    std::array<QRadioButton*, 3> ob_Fahrart2{};
    QComboBox* text_strecke = nullptr;
    QComboBox* cb_SchritteE = nullptr;
    std::array<QPushButton*, 2> cmd_Fahrt{};
    QPushButton* cmd_FahreNull = nullptr;
    QPushButton* cmd_STOPP = nullptr;
    QPushButton* cmd_ESM = nullptr;
    QPushButton* cmd_ESP = nullptr;
    QPushButton* cmd_GX = nullptr;
    QPushButton* cmd_GY = nullptr;
    QPushButton* cmd_IndexSuche = nullptr;
    QLabel* lb_indexanzeige = nullptr;
    QPushButton* cmd_ZaehlerNull = nullptr;
    QSlider* sl_dauer = nullptr;
    Grafikbild* pb_Grafikunterstuetzung = nullptr;
    QPushButton* cmd_status = nullptr;
    QPushButton* cmd_version = nullptr;
    QPushButton* cmd_versionintern = nullptr;
    QPushButton* cmd_input = nullptr;
    QPushButton* cmd_sign = nullptr;
    QPushButton* cmd_eW = nullptr;
    QPushButton* cmd_ControllP = nullptr;
    QPushButton* cmd_Init = nullptr;
    QGroupBox* Fahren = nullptr;

protected:
    void anzeigen() override { render(); }
    void fokusStopp() override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    enum class Art { Label, Knopf, Feld, Haken, Option, Lampe, Kombi };
    struct Bindung
    {
        QWidget* widget;
        const Steuerelement* zustand;
        Art art;
        Steuerelement gezeigt;
        bool erstmals = true;
    };

    void bauen();
    void binden(QWidget* w, const Steuerelement& s, Art art);
    void verbinden();
    // Runs an operator action and shows the result; nothing escapes it.
    void handeln(const std::function<void()>& aktion);
    void zeigeBalken(QScrollBar* bar, const Rollbalken& zustand);
    void zeigeListe(QComboBox* box, const QStringList& items, int index);
    void zeigeFehlerzeile();

    QList<Bindung> m_bindungen;
    QHash<QObject*, leitstand::Eingabefeld> m_filter;
    QHash<QObject*, std::function<void()>> m_verlassen;
    bool m_rendern = false;
    bool m_entladen = false;
    int m_groesseGezeigt = -1;
    int m_schlittenGezeigt = -1;
    quint32 m_schlittenFarbe = 0;
    std::array<int, 2> m_markenGezeigt{-2, -2};
};

// Builds the program's surroundings of a control center from the main window
// and the parameter models. `initWindow` leads to the initialisation command
// list window once it exists; `initWindowVorhanden` returns it only when it
// does, without creating it.
struct ControlCenterTools
{
    std::function<IInitWindow*()> initWindow;
    std::function<IInitWindow*()> initWindowVorhanden;
    std::function<bool()> driftAktiv;
    std::function<void(int)> setDriftmerker;
    std::function<void(double)> driftStarten;
};
ControlCenterEnv controlCenterEnv(frm_main& main, ParamsContext& params, const ControlCenterTools& tools = {});

// Registers the control center with the main window: the menu entry
// "Controlcenter" then opens a new frm_Controlcenter.
void installControlCenter(frm_main& main, ParamsContext& params, ControlCenterTools tools = {});
