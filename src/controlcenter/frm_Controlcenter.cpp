#include "frm_Controlcenter.h"

#include "BusTransport.h"
#include "CoreContext.h"
#include "Format.h"
#include "ParamsContext.h"
#include "frm_main.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QSlider>
#include <QTimer>
#include <QVBoxLayout>

#include <exception>

using namespace leitstand;

namespace {
// One-line and enlarged result view: window heights in twips.
constexpr int HoeheKlein = 4410;
constexpr int HoeheGross = 11000;

void faerben(QWidget* w, quint32 farbe)
{
    if (farbe == Standardfarbe) {
        w->setStyleSheet(QString());
        return;
    }
    const QColor c = bgrColor(farbe);
    if (qobject_cast<QPushButton*>(w))
        w->setStyleSheet(QStringLiteral("QPushButton { background-color: %1; }").arg(c.name()));
    else if (qobject_cast<QLineEdit*>(w))
        w->setStyleSheet(QStringLiteral("QLineEdit { background-color: %1; }").arg(c.name()));
    else if (qobject_cast<QCheckBox*>(w))
        w->setStyleSheet(QStringLiteral("QCheckBox { background-color: %1; }").arg(c.name()));
    else
        w->setStyleSheet(QStringLiteral("background-color: %1;").arg(c.name()));
}

int mausknopf(const QMouseEvent* e)
{
    return e->button() == Qt::LeftButton ? 1 : e->button() == Qt::RightButton ? 2 : 0;
}
} // namespace

// --- travel picture ---------------------------------------------------------------------------

Grafikbild::Grafikbild(const ControlCenterCore& core, QWidget* parent) : QWidget(parent), m_core(core)
{
    setToolTip(QStringLiteral("Graphic support"));
    // The scale, the carriage and the marks are computed for this width: a
    // wider picture would show the plus end short of its right edge.
    setFixedSize(ControlCenterCore::BildBreite, 28);
}

QSize Grafikbild::sizeHint() const
{
    return {ControlCenterCore::BildBreite, 28};
}

void Grafikbild::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(rect(), isEnabled() ? QColor(Qt::white) : palette().color(QPalette::Window));
    p.setPen(Qt::gray);
    p.drawRect(rect().adjusted(0, 0, -1, -1));
    // Software-limit marks sh_index(10) and sh_index(11).
    p.setPen(QPen(QColor(Qt::blue), 1));
    for (int x : m_core.sh_index_x)
        if (x >= 0)
            p.drawLine(x, 2, x, height() - 3);
    const quint32 farbe = m_core.line_schlitten.farbe;
    p.fillRect(QRect(m_core.line_schlitten_left, 6, ControlCenterCore::SchlittenBreite, height() - 12),
               farbe == Standardfarbe ? QColor(Qt::gray) : bgrColor(farbe));
}

void Grafikbild::mouseReleaseEvent(QMouseEvent* e)
{
    if (mausLos && isEnabled())
        mausLos(mausknopf(e));
}

// --- window -----------------------------------------------------------------------------------------

frm_Controlcenter::frm_Controlcenter(ControlCenterEnv env, QWidget* parent)
    : QWidget(parent), ControlCenterCore(std::move(env))
{
    setObjectName(QStringLiteral("frm_Controlcenter"));
    setAttribute(Qt::WA_DeleteOnClose);
    bauen();
    verbinden();
    Form_Load();
    render();
}

frm_Controlcenter::~frm_Controlcenter() = default;

void frm_Controlcenter::bauen()
{
    auto* haupt = new QVBoxLayout(this);
    haupt->setContentsMargins(6, 6, 6, 6);
    haupt->setSpacing(4);
    const auto knopf = [this](const Steuerelement& s, const char* name) {
        auto* b = new QPushButton(s.text, this);
        b->setObjectName(QLatin1String(name));
        b->setFocusPolicy(Qt::StrongFocus);
        return b;
    };
    const auto label = [this](const QString& text, const char* name) {
        auto* l = new QLabel(text, this);
        l->setObjectName(QLatin1String(name));
        return l;
    };
    const auto feld = [this](const char* name) {
        auto* e = new QLineEdit(this);
        e->setObjectName(QLatin1String(name));
        e->setMaximumWidth(110);
        return e;
    };

    // Address, lamp, position.
    auto* kopf = new QHBoxLayout;
    lb_adresse = label(QStringLiteral("Address"), "lb_adresse");
    cb_adressenauswahl = new QComboBox(this);
    cb_adressenauswahl->setObjectName(QStringLiteral("cb_adressenauswahl"));
    cb_adressenauswahl->setMinimumWidth(80);
    sh_an_aus = new QWidget(this);
    sh_an_aus->setObjectName(QStringLiteral("sh_an_aus"));
    sh_an_aus->setFixedSize(18, 18);
    lb_POS = label(ControlCenterCore::lb_POS.text, "lb_POS");
    lb_POS->setToolTip(QStringLiteral("Position digital readout"));
    QFont big = lb_POS->font();
    big.setPointSize(big.pointSize() + 6);
    big.setBold(true);
    lb_POS->setFont(big);
    lb_POS->setMinimumWidth(200);
    lb_POS->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    cb_IN = new QCheckBox(QStringLiteral("0IN"), this);
    cb_IN->setObjectName(QStringLiteral("cb_IN"));
    kopf->addWidget(lb_adresse);
    kopf->addWidget(cb_adressenauswahl);
    kopf->addWidget(sh_an_aus);
    kopf->addStretch();
    kopf->addWidget(lb_POS);
    kopf->addWidget(cb_IN);
    haupt->addLayout(kopf);

    lb_Fehler = label(ControlCenterCore::lb_Fehler.text, "lb_Fehler");
    lb_Fehler->setFrameShape(QFrame::Panel);
    lb_Fehler->setFrameShadow(QFrame::Sunken);
    lb_Fehler->setTextInteractionFlags(Qt::NoTextInteraction);
    QFont mono(QStringLiteral("Monospace"));
    mono.setStyleHint(QFont::TypeWriter);
    lb_Fehler->setFont(mono);
    haupt->addWidget(lb_Fehler);

    // Travel ends, software limits, usable travel.
    auto* grenzen = new QGridLayout;
    lb_ESM = label(QString(), "lb_ESM");
    lb_ESM->setToolTip(QStringLiteral("lower hardware limit"));
    lb_ESP = label(QString(), "lb_ESP");
    lb_ESP->setToolTip(QStringLiteral("upper hardware limit"));
    for (QLabel* l : {lb_ESM, lb_ESP}) {
        l->setAutoFillBackground(true);
        l->setMinimumWidth(70);
        l->setAlignment(Qt::AlignCenter);
    }
    text_SLM = feld("text_SLM");
    text_SLM->setToolTip(QStringLiteral("software limit switch -"));
    text_SLP = feld("text_SLP");
    text_SLP->setToolTip(QStringLiteral("software limit switch +"));
    lb_messtischweg = label(QString(), "lb_messtischweg");
    lb_messtischweg->setAlignment(Qt::AlignCenter);
    grenzen->addWidget(lb_ESM, 0, 0);
    grenzen->addWidget(text_SLM, 0, 1);
    grenzen->addWidget(lb_messtischweg, 0, 2);
    grenzen->addWidget(text_SLP, 0, 3);
    grenzen->addWidget(lb_ESP, 0, 4);
    haupt->addLayout(grenzen);

    pb_Grafikunterstuetzung = new Grafikbild(*this, this);
    pb_Grafikunterstuetzung->setObjectName(QStringLiteral("pb_Grafikunterstützung"));
    haupt->addWidget(pb_Grafikunterstuetzung);

    // Speed and acceleration.
    auto* va = new QGridLayout;
    sli_v = new QScrollBar(Qt::Horizontal, this);
    sli_v->setObjectName(QStringLiteral("sli_v"));
    sli_a = new QScrollBar(Qt::Horizontal, this);
    sli_a->setObjectName(QStringLiteral("sli_a"));
    text_Geschwindigkeit = feld("text_Geschwindigkeit");
    text_Beschleunigung = feld("text_Beschleunigung");
    Label2 = label(ControlCenterCore::Label2.text, "Label2");
    Label1 = label(ControlCenterCore::Label1.text, "Label1");
    va->addWidget(sli_v, 0, 0);
    va->addWidget(text_Geschwindigkeit, 0, 1);
    va->addWidget(Label2, 0, 2);
    va->addWidget(sli_a, 1, 0);
    va->addWidget(text_Beschleunigung, 1, 1);
    va->addWidget(Label1, 1, 2);
    va->setColumnStretch(0, 1);
    haupt->addLayout(va);

    // Drive modes, drive type, distance and moves.
    Fahren = new QGroupBox(this);
    Fahren->setObjectName(QStringLiteral("Fahren"));
    auto* fahren = new QGridLayout(Fahren);
    auto* arten = new QHBoxLayout;
    const char* fahrartNamen[] = {"Fahrart(0)", "Fahrart(1)", "Fahrart(2)", "Fahrart(3)"};
    for (int i = 0; i < 4; ++i) {
        Fahrart[std::size_t(i)] = new QRadioButton(ControlCenterCore::Fahrart[std::size_t(i)].text, Fahren);
        Fahrart[std::size_t(i)]->setObjectName(QLatin1String(fahrartNamen[i]));
        Fahrart[std::size_t(i)]->setAutoExclusive(false);
        arten->addWidget(Fahrart[std::size_t(i)]);
    }
    lb_joyart = label(ControlCenterCore::lb_joyart.text, "lb_joyart");
    lb_joyart->setToolTip(QStringLiteral("Fast/Slow"));
    lb_joyart->setFrameShape(QFrame::Panel);
    arten->addWidget(lb_joyart);
    fr_Fahrart2 = new QGroupBox(Fahren);
    fr_Fahrart2->setObjectName(QStringLiteral("fr_Fahrart2"));
    auto* typen = new QHBoxLayout(fr_Fahrart2);
    typen->setContentsMargins(4, 0, 4, 0);
    const QStringList tips{QStringLiteral("DC Mode"), QStringLiteral("PiezoS Mode"), QStringLiteral("Piezo Mode")};
    for (int i = 0; i < 3; ++i) {
        auto* o = new QRadioButton(ControlCenterCore::ob_Fahrart2[std::size_t(i)].text, fr_Fahrart2);
        o->setObjectName(QStringLiteral("ob_Fahrart2(%1)").arg(i));
        o->setToolTip(tips.at(i));
        o->setAutoExclusive(false);
        ob_Fahrart2[std::size_t(i)] = o;
        typen->addWidget(o);
    }
    arten->addWidget(fr_Fahrart2);
    arten->addStretch();
    fahren->addLayout(arten, 0, 0, 1, 6);

    text_strecke = new QComboBox(Fahren);
    text_strecke->setObjectName(QStringLiteral("text_strecke"));
    text_strecke->setEditable(true);
    text_strecke->setInsertPolicy(QComboBox::NoInsert);
    text_strecke->setToolTip(QStringLiteral("Drive value"));
    cb_SchritteE = new QComboBox(Fahren);
    cb_SchritteE->setObjectName(QStringLiteral("cb_SchritteE"));
    cb_SchritteE->addItems(Einheiten);
    cmd_Fahrt[0] = knopf(ControlCenterCore::cmd_Fahrt[0], "cmd_Fahrt(0)");
    cmd_Fahrt[1] = knopf(ControlCenterCore::cmd_Fahrt[1], "cmd_Fahrt(1)");
    cmd_FahreNull = knopf(ControlCenterCore::cmd_FahreNull, "cmd_FahreNull");
    cmd_STOPP = knopf(ControlCenterCore::cmd_STOPP, "cmd_STOPP");
    QFont stopFont = cmd_STOPP->font();
    stopFont.setBold(true);
    cmd_STOPP->setFont(stopFont);
    fahren->addWidget(text_strecke, 1, 0);
    fahren->addWidget(cb_SchritteE, 1, 1);
    fahren->addWidget(cmd_Fahrt[0], 1, 2);
    fahren->addWidget(cmd_Fahrt[1], 1, 3);
    fahren->addWidget(cmd_FahreNull, 1, 4);
    fahren->addWidget(cmd_STOPP, 1, 5);

    cmd_ESM = knopf(ControlCenterCore::cmd_ESM, "cmd_ESM");
    cmd_ESP = knopf(ControlCenterCore::cmd_ESP, "cmd_ESP");
    cmd_GX = knopf(ControlCenterCore::cmd_GX, "cmd_GX");
    cmd_GY = knopf(ControlCenterCore::cmd_GY, "cmd_GY");
    cmd_IndexSuche = knopf(ControlCenterCore::cmd_IndexSuche, "cmd_IndexSuche");
    lb_indexanzeige = label(ControlCenterCore::lb_indexanzeige.text, "lb_indexanzeige");
    lb_indexanzeige->setAutoFillBackground(true);
    lb_indexanzeige->setAlignment(Qt::AlignCenter);
    fahren->addWidget(cmd_ESM, 2, 0);
    fahren->addWidget(cmd_ESP, 2, 1);
    fahren->addWidget(cmd_GX, 2, 2);
    fahren->addWidget(cmd_GY, 2, 3);
    fahren->addWidget(cmd_IndexSuche, 2, 4);
    fahren->addWidget(lb_indexanzeige, 2, 5);

    cmd_ZaehlerNull = knopf(ControlCenterCore::cmd_ZaehlerNull, "cmd_ZaehlerNull");
    sl_dauer = new QSlider(Qt::Horizontal, Fahren);
    sl_dauer->setObjectName(QStringLiteral("sl_dauer"));
    sl_dauer->setRange(0, 7);
    sl_dauer->setPageStep(1);
    sl_dauer->setTickPosition(QSlider::TicksBelow);
    sl_dauer->setToolTip(QStringLiteral("1: drive value - and drive value +, 2: drive value + and 0, 3: Drive value - "
                                        "and 0, 4: move limit - and move limit +"));
    fahren->addWidget(cmd_ZaehlerNull, 3, 0, 1, 2);
    fahren->addWidget(sl_dauer, 3, 2, 1, 4);
    haupt->addWidget(Fahren);

    // Queries and tool windows.
    auto* fuss = new QHBoxLayout;
    cmd_status = knopf(ControlCenterCore::cmd_status, "cmd_status");
    cmd_version = knopf(ControlCenterCore::cmd_version, "cmd_version");
    cmd_versionintern = knopf(ControlCenterCore::cmd_versionintern, "cmd_versionintern");
    cmd_input = knopf(ControlCenterCore::cmd_input, "cmd_input");
    cmd_sign = knopf(ControlCenterCore::cmd_sign, "cmd_sign");
    cmd_eW = knopf(ControlCenterCore::cmd_eW, "cmd_eW");
    cmd_ControllP = knopf(ControlCenterCore::cmd_ControllP, "cmd_ControllP");
    cmd_Init = knopf(ControlCenterCore::cmd_Init, "cmd_Init");
    for (QPushButton* b : {cmd_status, cmd_version, cmd_versionintern, cmd_input, cmd_sign, cmd_eW, cmd_ControllP,
                           cmd_Init})
        fuss->addWidget(b);
    haupt->addLayout(fuss);
    haupt->addStretch();

    binden(sh_an_aus, ControlCenterCore::sh_an_aus, Art::Lampe);
    binden(lb_POS, ControlCenterCore::lb_POS, Art::Label);
    binden(cb_IN, ControlCenterCore::cb_IN, Art::Haken);
    binden(lb_ESM, ControlCenterCore::lb_ESM, Art::Label);
    binden(lb_ESP, ControlCenterCore::lb_ESP, Art::Label);
    binden(text_SLM, ControlCenterCore::text_SLM, Art::Feld);
    binden(text_SLP, ControlCenterCore::text_SLP, Art::Feld);
    binden(lb_messtischweg, ControlCenterCore::lb_messtischweg, Art::Label);
    binden(text_Geschwindigkeit, ControlCenterCore::text_Geschwindigkeit, Art::Feld);
    binden(text_Beschleunigung, ControlCenterCore::text_Beschleunigung, Art::Feld);
    binden(Label1, ControlCenterCore::Label1, Art::Label);
    binden(Label2, ControlCenterCore::Label2, Art::Label);
    for (std::size_t i = 0; i < 4; ++i)
        binden(Fahrart[i], ControlCenterCore::Fahrart[i], Art::Option);
    binden(lb_joyart, ControlCenterCore::lb_joyart, Art::Label);
    binden(fr_Fahrart2, ControlCenterCore::fr_Fahrart2, Art::Knopf);
    for (std::size_t i = 0; i < 3; ++i)
        binden(ob_Fahrart2[i], ControlCenterCore::ob_Fahrart2[i], Art::Option);
    binden(text_strecke, ControlCenterCore::text_strecke, Art::Kombi);
    binden(cb_SchritteE, ControlCenterCore::cb_SchritteE, Art::Knopf);
    for (std::size_t i = 0; i < 2; ++i)
        binden(cmd_Fahrt[i], ControlCenterCore::cmd_Fahrt[i], Art::Knopf);
    binden(cmd_FahreNull, ControlCenterCore::cmd_FahreNull, Art::Knopf);
    binden(cmd_STOPP, ControlCenterCore::cmd_STOPP, Art::Knopf);
    binden(cmd_ESM, ControlCenterCore::cmd_ESM, Art::Knopf);
    binden(cmd_ESP, ControlCenterCore::cmd_ESP, Art::Knopf);
    binden(cmd_GX, ControlCenterCore::cmd_GX, Art::Knopf);
    binden(cmd_GY, ControlCenterCore::cmd_GY, Art::Knopf);
    binden(cmd_IndexSuche, ControlCenterCore::cmd_IndexSuche, Art::Knopf);
    binden(lb_indexanzeige, ControlCenterCore::lb_indexanzeige, Art::Label);
    binden(cmd_ZaehlerNull, ControlCenterCore::cmd_ZaehlerNull, Art::Knopf);
    binden(sl_dauer, ControlCenterCore::sl_dauer, Art::Knopf);
    binden(pb_Grafikunterstuetzung, ControlCenterCore::pb_Grafikunterstuetzung, Art::Knopf);
    binden(cmd_status, ControlCenterCore::cmd_status, Art::Knopf);
    binden(cmd_version, ControlCenterCore::cmd_version, Art::Knopf);
    binden(cmd_versionintern, ControlCenterCore::cmd_versionintern, Art::Knopf);
    binden(cmd_input, ControlCenterCore::cmd_input, Art::Knopf);
    binden(cmd_sign, ControlCenterCore::cmd_sign, Art::Knopf);
    binden(cmd_eW, ControlCenterCore::cmd_eW, Art::Knopf);
    binden(cmd_ControllP, ControlCenterCore::cmd_ControllP, Art::Knopf);
    binden(cmd_Init, ControlCenterCore::cmd_Init, Art::Knopf);

    m_filter.insert(text_Geschwindigkeit, Eingabefeld::Zahl);
    m_filter.insert(text_Beschleunigung, Eingabefeld::Zahl);
    m_filter.insert(text_strecke->lineEdit(), Eingabefeld::Zahl);
    m_filter.insert(text_SLM, Eingabefeld::GrenzeMinus);
    m_filter.insert(text_SLP, Eingabefeld::GrenzePlus);
    for (QObject* o : m_filter.keys())
        o->installEventFilter(this);
    cb_SchritteE->installEventFilter(this);
    lb_Fehler->installEventFilter(this);
    lb_joyart->installEventFilter(this);
    cmd_IndexSuche->installEventFilter(this);
    resize(twipsToPixels(10500), twipsToPixels(HoeheKlein));
}

void frm_Controlcenter::binden(QWidget* w, const Steuerelement& s, Art art)
{
    m_bindungen.append(Bindung{w, &s, art, {}, true});
}

void frm_Controlcenter::handeln(const std::function<void()>& aktion)
{
    if (m_rendern)
        return;
    try {
        aktion();
    } catch (const std::exception&) {
        // A failing step is skipped; the window stays usable.
    }
    render();
}

void frm_Controlcenter::verbinden()
{
    connect(cb_adressenauswahl, &QComboBox::activated, this, [this](int i) {
        handeln([this, i] {
            cb_adressenauswahl_ListIndex = i;
            cb_adressenauswahl_Click();
        });
    });
    connect(cb_IN, &QCheckBox::clicked, this, [this](bool on) {
        handeln([this, on] {
            ControlCenterCore::cb_IN.checked = on;
            cb_IN_Click();
        });
    });
    const auto text = [this](QLineEdit* e, Steuerelement& s) {
        connect(e, &QLineEdit::textEdited, this, [&s](const QString& t) { s.text = t; });
    };
    text(text_SLM, ControlCenterCore::text_SLM);
    text(text_SLP, ControlCenterCore::text_SLP);
    text(text_Geschwindigkeit, ControlCenterCore::text_Geschwindigkeit);
    text(text_Beschleunigung, ControlCenterCore::text_Beschleunigung);
    connect(text_strecke, &QComboBox::currentTextChanged, this, [this](const QString& t) {
        if (!m_rendern)
            ControlCenterCore::text_strecke.text = t;
    });
    connect(cb_SchritteE, &QComboBox::activated, this, [this](int i) {
        handeln([this, i] {
            cb_SchritteE_ListIndex = i;
            ControlCenterCore::cb_SchritteE.text = Einheiten.value(i);
        });
    });
    m_verlassen.insert(text_SLM, [this] { text_SLM_LostFocus(); });
    m_verlassen.insert(text_SLP, [this] { text_SLP_LostFocus(); });
    m_verlassen.insert(text_Geschwindigkeit, [this] { text_Geschwindigkeit_LostFocus(); });
    m_verlassen.insert(text_Beschleunigung, [this] { text_Beschleunigung_LostFocus(); });
    m_verlassen.insert(text_strecke->lineEdit(), [this] { text_strecke_LostFocus(); });
    m_verlassen.insert(cb_SchritteE, [this] { cb_SchritteE_LostFocus(); });

    connect(sli_v, &QScrollBar::valueChanged, this, [this](int v) {
        if (!m_rendern)
            handeln([this, v] { sli_v_Change(v); });
    });
    connect(sli_a, &QScrollBar::valueChanged, this, [this](int v) {
        if (!m_rendern)
            handeln([this, v] { sli_a_Change(v); });
    });
    for (int i = 0; i < 4; ++i)
        connect(Fahrart[std::size_t(i)], &QRadioButton::clicked, this, [this, i] { handeln([this, i] { Fahrart_Waehlen(i); }); });
    for (int i = 0; i < 3; ++i)
        connect(ob_Fahrart2[std::size_t(i)], &QRadioButton::clicked, this,
                [this, i] { handeln([this, i] { ob_Fahrart2_Click(i); }); });
    connect(sl_dauer, &QSlider::valueChanged, this, [this](int v) {
        if (!m_rendern)
            handeln([this, v] { sl_dauer_Change(v); });
    });
    pb_Grafikunterstuetzung->mausLos = [this](int b) { handeln([this, b] { pb_Grafikunterstuetzung_MouseUp(b); }); };

    const auto klick = [this](QPushButton* b, void (ControlCenterCore::*h)()) {
        connect(b, &QPushButton::clicked, this, [this, h] { handeln([this, h] { (this->*h)(); }); });
    };
    connect(cmd_Fahrt[0], &QPushButton::clicked, this, [this] { handeln([this] { cmd_Fahrt_Click(0); }); });
    connect(cmd_Fahrt[1], &QPushButton::clicked, this, [this] { handeln([this] { cmd_Fahrt_Click(1); }); });
    klick(cmd_FahreNull, &ControlCenterCore::cmd_FahreNull_Click);
    klick(cmd_STOPP, &ControlCenterCore::cmd_STOPP_Click);
    klick(cmd_ESM, &ControlCenterCore::cmd_ESM_Click);
    klick(cmd_ESP, &ControlCenterCore::cmd_ESP_Click);
    klick(cmd_GX, &ControlCenterCore::cmd_GX_Click);
    klick(cmd_GY, &ControlCenterCore::cmd_GY_Click);
    klick(cmd_ZaehlerNull, &ControlCenterCore::cmd_ZaehlerNull_Click);
    klick(cmd_status, &ControlCenterCore::cmd_status_Click);
    klick(cmd_version, &ControlCenterCore::cmd_version_Click);
    klick(cmd_versionintern, &ControlCenterCore::cmd_versionintern_Click);
    klick(cmd_input, &ControlCenterCore::cmd_input_Click);
    klick(cmd_sign, &ControlCenterCore::cmd_sign_Click);
    klick(cmd_eW, &ControlCenterCore::cmd_eW_Click);
    klick(cmd_ControllP, &ControlCenterCore::cmd_ControllP_Click);
    klick(cmd_Init, &ControlCenterCore::cmd_Init_Click);
}

void frm_Controlcenter::fokusStopp()
{
    cmd_STOPP->setFocus(Qt::OtherFocusReason);
}

bool frm_Controlcenter::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::KeyPress:
        if (m_filter.contains(watched)) {
            auto* k = static_cast<QKeyEvent*>(event);
            // Enter moves on to Stop, so that leaving the box checks and sends it.
            if (k->key() == Qt::Key_Return || k->key() == Qt::Key_Enter) {
                fokusStopp();
                return true;
            }
            const QString t = k->text();
            if (t.isEmpty() || (k->modifiers() & Qt::ControlModifier) || k->key() == Qt::Key_Backspace ||
                k->key() == Qt::Key_Delete)
                return false;
            for (const QChar c : t)
                if (!zeichenErlaubt(c, m_filter.value(watched), komma()))
                    return true;
        }
        break;
    case QEvent::FocusOut:
        if (const auto it = m_verlassen.constFind(watched); it != m_verlassen.constEnd()) {
            const auto aktion = it.value();
            handeln(aktion);
        }
        break;
    case QEvent::MouseButtonRelease: {
        auto* m = static_cast<QMouseEvent*>(event);
        if (watched == lb_Fehler) {
            handeln([this] { lb_Fehler_Click(); });
            return true;
        }
        if (watched == lb_joyart) {
            handeln([this] { lb_joyart_Click(); });
            return true;
        }
        if (watched == cmd_IndexSuche && cmd_IndexSuche->isEnabled()) {
            const int b = mausknopf(m);
            if (b == 2)
                handeln([this] { cmd_IndexSuche_MouseUp(2); });
            else if (b == 1 && cmd_IndexSuche->rect().contains(m->position().toPoint()))
                handeln([this] {
                    cmd_IndexSuche_MouseUp(1);
                    fokusStopp();
                });
        }
        break;
    }
    default:
        break;
    }
    return QWidget::eventFilter(watched, event);
}

void frm_Controlcenter::closeEvent(QCloseEvent* event)
{
    // Closed from a box that a running cycle opened: the cycle still uses
    // this window, so the close waits until it has returned.
    if (imZyklus()) {
        event->ignore();
        QTimer::singleShot(0, this, [this] {
            if (QMdiSubWindow* sub = qobject_cast<QMdiSubWindow*>(parentWidget()))
                sub->close();
            else
                close();
        });
        return;
    }
    if (!m_entladen) {
        m_entladen = true;
        try {
            Form_Unload();
        } catch (const std::exception&) {
        }
    }
    event->accept();
}

int frm_Controlcenter::Initialisierung()
{
    try {
        return ControlCenterCore::Initialisierung();
    } catch (const std::exception&) {
        render();
        return 0;
    }
}

int frm_Controlcenter::Aktualisieren()
{
    try {
        return ControlCenterCore::Aktualisieren();
    } catch (const std::exception&) {
        render();
        return 0;
    }
}

void frm_Controlcenter::auslesen()
{
    try {
        ControlCenterCore::auslesen();
    } catch (const std::exception&) {
        FlagAuslesen = 0;
        render();
    }
}

void frm_Controlcenter::adressenLeeren()
{
    ControlCenterCore::adressenLeeren();
    render();
}

void frm_Controlcenter::adresseAnfuegen(const QString& entry)
{
    ControlCenterCore::adresseAnfuegen(entry);
    render();
}

void frm_Controlcenter::setLine_schlitten(int left, quint32 backColor)
{
    ControlCenterCore::setLine_schlitten(left, backColor);
    render();
}

void frm_Controlcenter::zeigeListe(QComboBox* box, const QStringList& items, int index)
{
    QStringList shown;
    for (int i = 0; i < box->count(); ++i)
        shown << box->itemText(i);
    if (shown != items) {
        box->clear();
        box->addItems(items);
    }
    if (box->currentIndex() != index)
        box->setCurrentIndex(index);
}

void frm_Controlcenter::zeigeBalken(QScrollBar* bar, const Rollbalken& z)
{
    if (bar->minimum() != z.min || bar->maximum() != z.max)
        bar->setRange(z.min, z.max);
    if (bar->pageStep() != z.largeChange)
        bar->setPageStep(z.largeChange);
    if (bar->value() != z.value)
        bar->setValue(z.value);
    if (bar->isEnabled() != z.enabled)
        bar->setEnabled(z.enabled);
}

void frm_Controlcenter::zeigeFehlerzeile()
{
    if (lb_Fehler->text() != ControlCenterCore::lb_Fehler.text)
        lb_Fehler->setText(ControlCenterCore::lb_Fehler.text);
    if (m_groesseGezeigt == Fehlerzeile_gross)
        return;
    m_groesseGezeigt = Fehlerzeile_gross;
    const int hoehe = twipsToPixels(Fehlerzeile_gross == 1 ? HoeheGross : HoeheKlein);
    lb_Fehler->setMinimumHeight(Fehlerzeile_gross == 1 ? 240 : 0);
    lb_Fehler->setWordWrap(false);
    QWidget* host = qobject_cast<QMdiSubWindow*>(parentWidget()) ? parentWidget() : this;
    host->resize(host->width(), std::max(hoehe, host->minimumSizeHint().height()));
}

void frm_Controlcenter::render()
{
    if (m_rendern)
        return;
    m_rendern = true;
    const QString titel = Caption.isEmpty() ? QStringLiteral("Controlcenter") : Caption;
    if (windowTitle() != titel)
        setWindowTitle(titel);
    {
        const QSignalBlocker b1(cb_adressenauswahl);
        zeigeListe(cb_adressenauswahl, cb_adressenauswahl_List, cb_adressenauswahl_ListIndex);
    }
    {
        const QSignalBlocker b2(cb_SchritteE);
        if (cb_SchritteE->currentIndex() != cb_SchritteE_ListIndex)
            cb_SchritteE->setCurrentIndex(cb_SchritteE_ListIndex);
    }
    {
        const QSignalBlocker b3(text_strecke);
        QStringList shown;
        for (int i = 0; i < text_strecke->count(); ++i)
            shown << text_strecke->itemText(i);
        if (shown != text_strecke_List) {
            text_strecke->clear();
            text_strecke->addItems(text_strecke_List);
        }
    }
    {
        const QSignalBlocker b4(sli_v);
        const QSignalBlocker b5(sli_a);
        zeigeBalken(sli_v, ControlCenterCore::sli_v);
        zeigeBalken(sli_a, ControlCenterCore::sli_a);
    }
    {
        const QSignalBlocker b6(sl_dauer);
        if (sl_dauer->value() != sl_dauer_Value)
            sl_dauer->setValue(sl_dauer_Value);
    }
    zeigeFehlerzeile();

    for (Bindung& b : m_bindungen) {
        const Steuerelement& z = *b.zustand;
        // A click on an option that is already selected unticks the widget
        // (the options are not exclusive by themselves) without changing the
        // window's state: the widget is brought back even then.
        const bool hakenAbweichend = (b.art == Art::Option || b.art == Art::Haken) &&
                                     static_cast<QAbstractButton*>(b.widget)->isChecked() != z.checked;
        if (!b.erstmals && b.gezeigt == z && !hakenAbweichend)
            continue;
        QWidget* w = b.widget;
        const QSignalBlocker blocker(w);
        switch (b.art) {
        case Art::Label:
            static_cast<QLabel*>(w)->setText(z.text);
            break;
        case Art::Feld:
            if (static_cast<QLineEdit*>(w)->text() != z.text)
                static_cast<QLineEdit*>(w)->setText(z.text);
            break;
        case Art::Haken:
        case Art::Option:
            static_cast<QAbstractButton*>(w)->setChecked(z.checked);
            break;
        case Art::Kombi:
            if (auto* c = static_cast<QComboBox*>(w); c->currentText() != z.text)
                c->setEditText(z.text);
            break;
        case Art::Knopf:
        case Art::Lampe:
            break;
        }
        if (b.erstmals || b.gezeigt.farbe != z.farbe) {
            if (b.art == Art::Lampe) {
                const QColor c = z.farbe == Standardfarbe ? QColor(Qt::gray) : bgrColor(z.farbe);
                w->setStyleSheet(QStringLiteral("background-color: %1; border: 1px solid #404040; border-radius: 9px;")
                                     .arg(c.name()));
            } else {
                faerben(w, z.farbe);
            }
        }
        if (w->isEnabled() != z.enabled)
            w->setEnabled(z.enabled);
        if (w->isVisibleTo(this) != z.visible)
            w->setVisible(z.visible);
        b.gezeigt = z;
        b.erstmals = false;
    }

    if (m_schlittenGezeigt != line_schlitten_left || m_schlittenFarbe != line_schlitten.farbe ||
        m_markenGezeigt != sh_index_x) {
        m_schlittenGezeigt = line_schlitten_left;
        m_schlittenFarbe = line_schlitten.farbe;
        m_markenGezeigt = sh_index_x;
        pb_Grafikunterstuetzung->update();
    }
    m_rendern = false;
}

// --- wiring -------------------------------------------------------------------------------------------

ControlCenterEnv controlCenterEnv(frm_main& main, ParamsContext& params, const ControlCenterTools& tools)
{
    ControlCenterEnv env;
    env.bus = &main.core().transport();
    env.ui = &main.core().ui();
    env.store = &params.store();
    env.options = &main.optionFlags();
    env.registry = &main;
    env.motfaktor_berechnen = [&params] { return params.motfaktor_berechnen(); };
    env.ueberschreiben = [&params](const QString& ident, int achse) {
        return params.configFile().ueberschreiben(ident, achse);
    };
    env.enableAll = [&main] { main.Enable_all(); };
    env.disableAll = [&main](int mode) { main.Disable_all(mode); };
    env.recorder = [&main] { return main.recorder(); };
    env.controlLoop = [&main] { return main.controlLoopWindow(); };
    env.initWindow = tools.initWindow;
    env.initWindowVorhanden = tools.initWindowVorhanden;
    env.entladen = [](Postfachfenster* w) {
        if (QWidget* f = w ? w->form() : nullptr)
            f->close();
    };
    env.driftAktiv = tools.driftAktiv;
    env.setDriftmerker = tools.setDriftmerker;
    env.driftStarten = tools.driftStarten;
    return env;
}

void installControlCenter(frm_main& main, ParamsContext& params, ControlCenterTools tools)
{
    main.setControlCenterFactory([&params, tools](frm_main& m) -> IControlCenter* {
        auto* w = new frm_Controlcenter(controlCenterEnv(m, params, tools));
        // Activating the window makes it the current control center.
        QMdiArea* area = m.mdiArea();
        QObject::connect(area, &QMdiArea::subWindowActivated, w, [w](QMdiSubWindow* sub) {
            if (sub && sub->widget() == w)
                w->Form_Activate();
        });
        return w;
    });
}
