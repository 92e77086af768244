#include "frm_tablett.h"

#include "BusTransport.h"
#include "CoreContext.h"
#include "Format.h"
#include "Guarded.h"
#include "UiServices.h"
#include "MenuNames.h"
#include "ParamsContext.h"
#include "ProgramFolder.h"
#include "frm_main.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QScopedValueRollback>
#include <QScreen>
#include <QStyle>

namespace {
// Width of the side panel beside the drawing box, in pixels.
constexpr int SideBar = 200;

QPointF twips(QPointF pixels)
{
    return pixels * pixelsToTwips(1);
}
}  // namespace

frm_tablett::frm_tablett(TablettEnv env, QWidget* parent) : QWidget(parent), m_form(this)
{
    ui.setupUi(this);
    env.hideWindow = [this] { hide(); };
    env.textWidth = [this](const QString& t) {
        return double(pixelsToTwips(m_marker[0]->fontMetrics().horizontalAdvance(t) + 4));
    };
    buildRows();
    m_core = std::make_unique<TablettCore>(std::move(env));
    ui.pb_Zeichnung->setCore(m_core.get());
    bindControls();
    m_runTimer.setSingleShot(true);
    connect(&m_runTimer, &QTimer::timeout, this, [this] { timerStep(); });
    render();
}

frm_tablett::~frm_tablett() = default;

void frm_tablett::buildRows()
{
    ui.button_0->setIcon(style()->standardIcon(QStyle::SP_DialogOpenButton));
    ui.button_1->setIcon(style()->standardIcon(QStyle::SP_DialogSaveButton));
    ui.button_6->setIcon(style()->standardIcon(QStyle::SP_TitleBarMinButton));
    for (int n = 0; n < TablettCore::Marker; ++n) {
        auto* l = new QLabel(ui.pb_Zeichnung);
        l->setObjectName(QStringLiteral("lb_punkte_%1").arg(n));
        l->installEventFilter(this);
        m_marker[std::size_t(n)] = l;
    }
    // The combo boxes take digits, the sign and the decimal separator only;
    // Enter goes on to "Start Ablauf". A box holds the focus and hands typed
    // keys straight to its line edit, past any filter there: the keys are
    // filtered at the box (and at the line edit for keys sent to it directly).
    for (QComboBox* c : {ui.cb_zoom, ui.cb_ZZ}) {
        c->installEventFilter(this);
        c->lineEdit()->installEventFilter(this);
    }
    ui.tb_delta->installEventFilter(this);
    ui.pb_Zeichnung->keyUp = [this](int code) {
        handle("pb_Zeichnung KeyUp", [this, code] { m_core->tasteneingabe(code); });
    };
    ui.pb_Zeichnung->mouseDown = [this](int b, double x, double y) {
        handle("pb_Zeichnung_MouseDown", [this, b, x, y] { m_core->pb_Zeichnung_MouseDown(b, x, y); });
    };
    ui.pb_Zeichnung->mouseMove = [this](double x, double y) {
        if (m_core->flagzeichnen == 1)
            handle("pb_Zeichnung_MouseMove", [this, x, y] { m_core->pb_Zeichnung_MouseMove(x, y); });
    };
    ui.pb_Zeichnung->mouseUp = [this](int b) {
        handle("pb_Zeichnung_MouseUp", [this, b] { m_core->pb_Zeichnung_MouseUp(b); });
    };
    ui.pb_Zeichnung->resized = [this] { arrange(); };
}

void frm_tablett::bindControls()
{
    TablettCore& c = *m_core;
    kit::Form& f = m_form;
    f.setDecimalComma([this] { return m_core->usesComma(); });
    f.setAfterEvent([this] { showWindow(); });
    const auto start = [this] { ui.button_2->setFocus(Qt::OtherFocusReason); };
    for (int n = 0; n < TablettCore::Marker; ++n)
        f.label(QStringLiteral("lb_punkte_%1").arg(n), c.lb_punkte[std::size_t(n)]);
    for (auto [name, s] : {std::pair{"lb_plus", &c.lb_plus},
                           {"tb_plus", &c.tb_plus},
                           {"lb_minus", &c.lb_minus},
                           {"tb_minus", &c.tb_minus},
                           {"lb_nullplus", &c.lb_nullplus},
                           {"lb_nullminus", &c.lb_nullminus},
                           {"lb_viertelX", &c.lb_viertelX},
                           {"lb_dreiviertelX", &c.lb_dreiviertelX},
                           {"lb_viertelY", &c.lb_viertelY},
                           {"lb_dreiviertelY", &c.lb_dreiviertelY},
                           {"lb_Ant", &c.lb_Ant},
                           {"lb_fahrzeit", &c.lb_fahrzeit}})
        f.label(QLatin1String(name), *s);
    f.lamp(QStringLiteral("sh_an_aus"), c.sh_an_aus);
    f.entry(QStringLiteral("lb_PK"), c.lb_PK);
    f.entry(QStringLiteral("lb_timeout"), c.lb_timeout);
    f.entry(QStringLiteral("Text2"), c.Text2);
    f.entry(QStringLiteral("Text1"), c.Text1, {.enter = [&c] { c.Text1_Enter(); }});
    f.entry(QStringLiteral("tb_delta"), c.tb_delta,
            {.keys = kit::Keys::Decimal, .enter = start, .lostFocus = [&c] { c.tb_delta_LostFocus(); }});
    f.entry(QStringLiteral("tb_zeit"), c.tb_zeit, {.lostFocus = [&c] { c.tb_zeit_LostFocus(); }});
    f.entry(QStringLiteral("tb_offsetX"), c.tb_offsetX,
            {.keys = kit::Keys::MinusDecimal, .enter = start, .lostFocus = [&c] { c.tb_offsetX_LostFocus(); }});
    f.entry(QStringLiteral("tb_offsetY"), c.tb_offsetY,
            {.keys = kit::Keys::MinusDecimal, .enter = start, .lostFocus = [&c] { c.tb_offsetY_LostFocus(); }});
    f.list(
        QStringLiteral("cb_zoom"), c.cb_zoom, [&c] { c.cb_zoom_Click(); }, [&c] { c.cb_zoom_LostFocus(); });
    f.list(
        QStringLiteral("cb_ZZ"), c.cb_ZZ, [&c] { c.cb_ZZ_Click(); }, [&c] { c.cb_ZZ_LostFocus(); });
    f.button(QStringLiteral("cb_achse2"), c.cb_achse2);
    for (int i = 0; i <= 6; ++i) {
        auto* b = m_form.get<QPushButton>(QStringLiteral("button_%1").arg(i));
        connect(b, &QPushButton::clicked, this,
                [this, i] { handle("button_Click", [this, i] { m_core->button_Click(i); }); });
    }
    connect(ui.cb_PK, &QPushButton::clicked, this,
            [this] { handle("cb_PK_Click", [this] { m_core->cb_PK_Click(); }); });
    connect(ui.cb_SA, &QPushButton::clicked, this,
            [this] { handle("cb_SA_Click", [this] { m_core->cb_SA_Click(); }); });
}

void frm_tablett::handle(const char* where, const std::function<void()>& fn)
{
    m_form.handle(where, fn);
}

void frm_tablett::render()
{
    m_form.render();
    showWindow();
}

void frm_tablett::showWindow()
{
    if (m_shownText != m_core->drawingState()) {
        m_shownText = m_core->drawingState();
        ui.pb_Zeichnung->update();
    }
    for (int n = 0; n < TablettCore::Marker; ++n) {
        QLabel* l = m_marker[std::size_t(n)];
        l->adjustSize();
        l->move((m_core->lb_punkte_pos[std::size_t(n)] / pixelsToTwips(1)).toPoint());
        l->setVisible(!m_core->lb_punkte[std::size_t(n)].text.isEmpty());
    }
    if (m_core->moving() && !m_runTimer.isActive())
        m_runTimer.start(0);
}

void frm_tablett::timerStep()
{
    // A message box inside a step runs a nested event loop: the step that is
    // already running finishes first.
    if (m_isBusy) {
        m_runTimer.start(10);
        return;
    }
    {
        const QScopedValueRollback<bool> busy(m_isBusy, true);
        // A status error box of the drive belongs to the path table.
        const DialogOwner owner(this);
        kit::guarded("frm_tablett drive", [this] { m_core->moveStep(); });
    }
    render();
}

void frm_tablett::arrange()
{
    if (!m_core)
        return;
    const int w = ui.pb_Zeichnung->width(), h = ui.pb_Zeichnung->height();
    const auto setPoint = [](QLabel* l, int x, int y) {
        l->adjustSize();
        l->move(x, y);
    };
    setPoint(ui.lb_plus, 2, h / 2 + 2);
    setPoint(ui.tb_plus, w - ui.tb_plus->sizeHint().width() - 2, h / 2 + 2);
    setPoint(ui.tb_minus, w / 2 + 4, 2);
    setPoint(ui.lb_minus, w / 2 + 4, h - ui.lb_minus->sizeHint().height() - 2);
    setPoint(ui.lb_nullplus, w / 2 + 4, h / 2 + 2);
    setPoint(ui.lb_nullminus, w / 2 + 4, h / 2 - ui.lb_nullminus->sizeHint().height() - 2);
    setPoint(ui.lb_viertelX, w / 4 + 2, 18);
    setPoint(ui.lb_dreiviertelX, w * 3 / 4 + 2, 18);
    setPoint(ui.lb_viertelY, 18, h / 4 + 2);
    setPoint(ui.lb_dreiviertelY, 18, h * 3 / 4 + 2);
    setPoint(ui.lb_XP, w - ui.lb_XP->sizeHint().width() - 2, h / 2 - ui.lb_XP->sizeHint().height() - 2);
    setPoint(ui.lb_XM, 2, h / 2 - ui.lb_XM->sizeHint().height() - 2);
    setPoint(ui.lb_YP, w / 2 - ui.lb_YP->sizeHint().width() - 4, 2);
    setPoint(ui.lb_YM, w / 2 - ui.lb_YM->sizeHint().width() - 4, h - ui.lb_YM->sizeHint().height() - 2);
    m_core->setDrawingArea(pixelsToTwips(w), pixelsToTwips(h));
}

void frm_tablett::openForm()
{
    QRect screen(0, 0, 1024, 768);
    if (const QScreen* s = QGuiApplication::primaryScreen())
        screen = s->availableGeometry();
    ui.pb_Zeichnung->setFixedSize(std::max(screen.width() - SideBar, 100), std::max(screen.height(), 100));
    resize(ui.pb_Zeichnung->width() + SideBar, ui.pb_Zeichnung->height());
    move(screen.topLeft());
    m_form.handle("Form_Load", [this] {
        m_core->setDrawingArea(pixelsToTwips(ui.pb_Zeichnung->width()), pixelsToTwips(ui.pb_Zeichnung->height()));
        m_core->openForm();
    });
    arrange();
    show();
    raise();
    activateWindow();
    ui.pb_Zeichnung->setFocus(Qt::OtherFocusReason);
}

void frm_tablett::closeEvent(QCloseEvent* event)
{
    if (m_core->Tag != QLatin1String("0"))
        handle("Form_Unload", [this] { m_core->Form_Unload(); });
    event->accept();
}

bool frm_tablett::eventFilter(QObject* watched, QEvent* event)
{
    const auto type = event->type();
    if (watched == ui.tb_delta && type == QEvent::KeyRelease) {
        auto* k = static_cast<QKeyEvent*>(event);
        if (!k->isAutoRepeat()) {
            const int code = DrawingArea::keyCode(k->key());
            handle("tb_delta_KeyUp", [this, code] { m_core->tasteneingabe(code); });
        }
        return true;
    }
    const bool comboKeys = watched == ui.cb_zoom || watched == ui.cb_ZZ || watched == ui.cb_zoom->lineEdit() ||
                           watched == ui.cb_ZZ->lineEdit();
    if (comboKeys && type == QEvent::KeyPress) {
        auto* k = static_cast<QKeyEvent*>(event);
        if (k->key() == Qt::Key_Return || k->key() == Qt::Key_Enter) {
            ui.button_2->setFocus(Qt::OtherFocusReason);
            return true;
        }
        if (!kit::keyPasses(*k, kit::Keys::MinusDecimal, m_core->usesComma()))
            return true;
    }
    for (int n = 0; n < TablettCore::Marker; ++n) {
        if (watched != m_marker[std::size_t(n)])
            continue;
        // Only mouse events concern the label; a cast of any other is undefined.
        auto* m = dynamic_cast<QMouseEvent*>(event);
        if (!m)
            continue;
        if (type == QEvent::MouseButtonPress) {
            m_drag = n;
            const QPointF p = twips(m->position());
            handle("lb_punkte_MouseDown", [this, n, p] { m_core->lb_punkte_MouseDown(n, p.x(), p.y()); });
            return true;
        }
        if (type == QEvent::MouseMove && m_drag == n) {
            const QPointF p = twips(ui.pb_Zeichnung->mapFromGlobal(m->globalPosition()));
            handle("pb_Zeichnung_DragOver", [this, n, p] { m_core->pb_Zeichnung_DragOver(n, p.x(), p.y()); });
            return true;
        }
        if (type == QEvent::MouseButtonRelease) {
            m_drag = -1;
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

// --- Wiring --------------------------------------------------------------------------------------

PathTableWindows& installPathTable(frm_main& frame, ParamsContext& params)
{
    auto* windows = new PathTableWindows;
    QObject::connect(&frame, &QObject::destroyed, [windows] { delete windows; });
    TablettEnv env;
    CoreContext& core = frame.core();
    env.bus = &core.transport();
    env.ui = &core.ui();
    env.store = &params.store();
    env.clock = &core.clock();
    env.usesComma = [&frame] { return frame.komma_frage; };
    env.programFolder = [] { return programFolder(); };
    env.releaseMainLoop = [&frame] {
        if (!frame.isUnloaded())
            frame.releaseMainLoop(Menu::Tablett);
    };
    frame.setWindowOpener(Menu::Tablett, [&frame, windows, env] {
        if (!windows->tablet) {
            // A window of its own, as large as the screen.
            windows->tablet = new frm_tablett(env);
            QObject::connect(&frame, &QObject::destroyed, windows->tablet, &QObject::deleteLater);
        }
        windows->tablet->openForm();
    });
    return *windows;
}
