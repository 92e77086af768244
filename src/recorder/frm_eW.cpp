#include "frm_eW.h"

#include "Format.h"
#include "ui_frm_eW.h"

#include <QCloseEvent>
#include <climits>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QScrollBar>

namespace {
const char* const VGaugeClass = "{E590EFE6-FAB1-4393-835B-CE0F7C070A95}";
const char* const VGaugeProgId = "Levelon.ToviVGauge";
}  // namespace

frm_eW::frm_eW(RecorderEnv env, GaugeHost& gauges, int windowWidth, QWidget* parent)
    : QWidget(parent), m_core(std::move(env)), m_ui(std::make_unique<Ui::frm_eW>()), m_form(this), m_width(windowWidth)
{
    m_ui->setupUi(this);
    resize(windowWidth, height());
    m_core.setView({this, [this] { render(); },
                    [this] {
                        setEnabled(false);
                        if (QWidget* sub = parentWidget(); sub && sub->inherits("QMdiSubWindow"))
                            sub->hide();
                        else
                            hide();
                    },
                    [this](const QString& name) {
                        if (QWidget* w = findChild<QWidget*>(name))
                            w->setFocus();
                    },
                    [this](const QString& text) { return fontMetrics().horizontalAdvance(text) + 4; }});
    m_core.Form_Load(windowWidth);

    // Sizes and places from the window's width.
    const int wc = m_core.containerWidth;
    m_ui->pb_behaelter->resize(wc, RecorderCore::GraphHeight);
    m_ui->HScroll1->resize(wc, m_ui->HScroll1->height());
    for (QWidget* w : {static_cast<QWidget*>(m_ui->Label2), static_cast<QWidget*>(m_ui->lb_max)})
        w->move(windowWidth - 65, w->y());
    m_ui->Vdia_1->move(windowWidth - 46, m_ui->Vdia_1->y());
    m_ui->Vdia_2->move(windowWidth - 46, m_ui->Vdia_2->y());
    m_ui->lb_mitte->move(windowWidth / 2 - 30, m_ui->lb_mitte->y());
    m_ui->pb_behaelter->installEventFilter(this);
    m_ui->pb_behaelter->setMouseTracking(true);
    m_ui->pb_behaelter->setAttribute(Qt::WA_NoMousePropagation);

    QList<GaugeDesign> designs;
    for (int i = 0; i < RecorderCore::GaugeCount; ++i)
        designs << GaugeDesign{QString::fromLatin1(RecorderCore::GaugeNames[std::size_t(i)]),
                               QString::fromLatin1(VGaugeClass),
                               QString::fromLatin1(VGaugeProgId),
                               QRect(10 + i * 34, 360, 26, 200),
                               {}};
    m_gauges = gauges.createGauges(this, designs);
    for (RecorderCore::GaugeRange& a : m_shownGauges)
        a.value = a.min = a.max = INT_MIN;

    for (int k = 0; k < RecorderCore::NumPoints; ++k) {
        auto* l = new QLabel(this);
        l->setObjectName(QStringLiteral("lb_punkte_%1").arg(k));
        l->installEventFilter(this);
        m_pointLabels[std::size_t(k)] = l;
    }
    bind();
    m_looping.setInterval(0);
    connect(&m_looping, &QTimer::timeout, this, [this] {
        m_form.handle("eW loop", [this] { m_core.loopStep(); });
        if (!m_core.isLooping())
            m_looping.stop();
    });
    render();
}

frm_eW::~frm_eW()
{
    m_core.Form_Unload();
}

QWidget* frm_eW::pb_behaelter() const
{
    return m_ui->pb_behaelter;
}

void frm_eW::bind()
{
    RecorderCore& c = m_core;
    kit::Form& f = m_form;
    f.caption(RecorderCore::Caption);
    f.button(QStringLiteral("cb_Messung"), c.cb_Messung, [&c] { c.cb_Messung_MouseUp(); });
    f.button(QStringLiteral("cb_an_aus"), c.cb_an_aus);
    f.button(QStringLiteral("Check1"), c.Check1, [&c] { c.Check1_Click(); });
    f.button(QStringLiteral("cb_drift"), c.cb_drift);
    for (const auto& [name, box] : {std::pair{"cb_wP", &c.cb_wP},
                                    {"cb_tw", &c.cb_tw},
                                    {"cb_K8", &c.cb_K8},
                                    {"cb_PC", &c.cb_PC},
                                    {"cb_eW", &c.cb_eW}})
        f.button(QString::fromLatin1(name), *box);
    f.button(QStringLiteral("cmd_clear"), c.cmd_clear, [&c] { c.cmd_clear_Click(); });
    f.button(QStringLiteral("cmd_clear1"), c.cmd_clear1, [&c] { c.cmd_clear1_Click(); });
    f.button(QStringLiteral("cmd_exit"), c.cmd_exit, [&c] { c.cmd_exit_Click(); });
    // The number fields read and take the locale's decimal separator.
    f.setDecimalComma([&c] { return c.usesComma(); });
    const auto weiter = [this] { m_ui->cb_Messung->setFocus(); };
    f.entry(QStringLiteral("text_faktor"), c.text_faktor,
            {.keys = kit::Keys::Decimal,
             .change = [&c] { c.text_faktor_Change(); },
             .enter = weiter,
             .lostFocus = [&c] { c.text_faktor_LostFocus(); }});
    f.entry(QStringLiteral("text_faktor2"), c.text_faktor2, {.keys = kit::Keys::MinusDecimal, .enter = weiter});
    f.entry(QStringLiteral("text_minus"), c.text_minus,
            {.keys = kit::Keys::MinusDecimal, .enter = weiter, .lostFocus = [&c] { c.text_minus_LostFocus(); }});
    f.entry(QStringLiteral("text_plus"), c.text_plus,
            {.keys = kit::Keys::MinusDecimal, .enter = weiter, .lostFocus = [&c] { c.text_plus_LostFocus(); }});
    f.entry(QStringLiteral("tb_drift"), c.tb_drift, {.keys = kit::Keys::Decimal});
    for (const auto& [name, label] : {std::pair{"lb_istV", &c.lb_istV},
                                      {"lb_v", &c.lb_v},
                                      {"Label1", &c.Label1},
                                      {"lb_mitte", &c.lb_mitte},
                                      {"Label2", &c.Label2},
                                      {"lb_min", &c.lb_min},
                                      {"lb_max", &c.lb_max},
                                      {"Label8", &c.Label8},
                                      {"Label9", &c.Label9},
                                      {"Label10", &c.Label10}})
        f.label(QString::fromLatin1(name), *label);
    for (int i = 0; i < RecorderCore::Times; ++i)
        f.label(QStringLiteral("lb_zeit_%1").arg(i), c.lb_zeit[std::size_t(i)]);
    for (int k = 0; k < RecorderCore::NumPoints; ++k)
        f.label(QStringLiteral("lb_punkte_%1").arg(k), c.lb_punkte[std::size_t(k)].label);
    f.list(QStringLiteral("lb_farbeEW"), c.lb_farbeEW);
    // The graph pans while the thumb is dragged as well.
    const auto pan = [&c] { c.HScroll1_Change(); };
    f.range(QStringLiteral("HScroll1"), c.HScroll1, pan, pan);
    f.setAfterEvent([this] {
        showSpecial();
        if (m_core.isLooping() && !m_looping.isActive())
            m_looping.start();
    });
}

void frm_eW::render()
{
    showSpecial();
    m_form.render();
}

void frm_eW::showSpecial()
{
    for (int i = 0; i < RecorderCore::GaugeCount && i < m_gauges.size(); ++i) {
        const RecorderCore::GaugeRange& a = m_core.toviv[std::size_t(i)];
        RecorderCore::GaugeRange& shown = m_shownGauges[std::size_t(i)];
        HostedGauge& g = m_gauges[i];
        if (shown.max != a.max || shown.min != a.min) {
            g.setMax(a.max);
            g.setMin(a.min);
        }
        if (shown.value != a.value)
            g.setValue(a.value);
        shown = a;
    }
    for (int k = 0; k < RecorderCore::NumPoints; ++k) {
        const RecorderCore::Point& p = m_core.lb_punkte[std::size_t(k)];
        QWidget* l = m_pointLabels[std::size_t(k)];
        l->adjustSize();
        if (l->pos() != QPoint(p.left, p.top))
            l->move(p.left, p.top);
        l->raise();
    }
    m_ui->pb_behaelter->update();
}

void frm_eW::paintGraph()
{
    QWidget* box = m_ui->pb_behaelter;
    QPainter p(box);
    const int l = int(std::lround(m_core.graphLeft()));
    p.drawImage(QPoint(0, 0), m_core.pb_graph, QRect(-l, 0, box->width(), RecorderCore::GraphHeight));
    p.setPen(QPen(Qt::darkBlue, 1, Qt::DashLine));
    p.drawLine(0, RecorderCore::TopLine, box->width(), RecorderCore::TopLine);
    p.drawLine(0, RecorderCore::BottomLine, box->width(), RecorderCore::BottomLine);
    if (m_core.line_Pos >= 0) {
        p.setPen(Qt::red);
        const int x = int(std::lround(m_core.line_Pos)) + l;
        p.drawLine(x, 0, x, RecorderCore::GraphHeight);
    }
    p.setPen(Qt::black);
    p.drawLine(box->width() / 2, 0, box->width() / 2, RecorderCore::GraphHeight);
}

bool frm_eW::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_ui->pb_behaelter) {
        if (event->type() == QEvent::Paint) {
            paintGraph();
            return true;
        }
        if (event->type() == QEvent::MouseMove) {
            const QPointF at = static_cast<QMouseEvent*>(event)->position();
            const double l = m_core.graphLeft();
            m_form.handle("pb_graph_MouseMove", [this, at, l] { m_core.pb_graph_MouseMove(at.x() - l, at.y()); });
        }
        return QWidget::eventFilter(watched, event);
    }
    // Dragging a point label by hand.
    for (int k = 0; k < RecorderCore::NumPoints; ++k) {
        if (watched != m_pointLabels[std::size_t(k)])
            continue;
        // Only mouse events concern the label; a cast of any other is undefined.
        auto* m = dynamic_cast<QMouseEvent*>(event);
        if (!m)
            continue;
        if (event->type() == QEvent::MouseButtonPress) {
            m_grab = m->position().toPoint();
            return true;
        }
        if (event->type() == QEvent::MouseMove && (m->buttons() & Qt::LeftButton)) {
            const QPoint to = m_pointLabels[std::size_t(k)]->mapToParent(m->position().toPoint()) - m_grab;
            m_core.lb_punkte[std::size_t(k)].left = to.x();
            m_core.lb_punkte[std::size_t(k)].top = to.y();
            showSpecial();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void frm_eW::mousePressEvent(QMouseEvent* event)
{
    const int button = event->button() == Qt::RightButton ? 2 : event->button() == Qt::LeftButton ? 1 : 4;
    const QPoint at = event->position().toPoint();
    // A press on a label (or any control that passes it on) reaches the
    // window too; only one on the window's own background places a label.
    if (childAt(at))
        return;
    m_form.handle("Form_MouseDown", [this, button, at] { m_core.Form_MouseDown(button, at.x(), at.y(), width()); });
}

void frm_eW::closeEvent(QCloseEvent* event)
{
    m_form.handle("eW Form_Unload", [this] { m_core.Form_Unload(); });
    m_looping.stop();
    event->accept();
    // Closing unloads the window: its frame goes too (and with it the window,
    // so that the next opening loads a new one).
    if (QWidget* sub = parentWidget(); sub && sub->inherits("QMdiSubWindow"))
        sub->close();
}
