#include "frm_MSim.h"

#include "Format.h"
#include "ui_frm_MSim.h"

#include <QCloseEvent>
#include <QPainter>
#include <QScrollBar>

frm_MSim::frm_MSim(StageSimEnv env, QWidget* parent)
    : QWidget(parent), m_core(std::move(env)), m_ui(std::make_unique<Ui::frm_MSim>()), m_form(this)
{
    m_ui->setupUi(this);
    m_core.setView({this, [this] { render(); }});

    m_spot = new QWidget(m_ui->pb_gitter);
    m_spot->setObjectName(QStringLiteral("shape1"));
    m_spot->resize(twipsToPixels(StageSimCore::Spot), twipsToPixels(StageSimCore::Spot));
    m_spot->setAutoFillBackground(true);
    QPalette p = m_spot->palette();
    p.setColor(QPalette::Window, bgrColor(StageSimCore::SpotColor));
    m_spot->setPalette(p);
    m_spot->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_ui->pb_gitter->installEventFilter(this);

    m_form.caption(StageSimCore::Caption);
    m_form.list(QStringLiteral("Combo1"), m_core.Combo1, [this] { m_core.Combo1_Click(); });
    for (int i = 0; i < 2; ++i) {
        m_form.list(QStringLiteral("cb__Achsenauswahl_%1").arg(i), m_core.cb__Achsenauswahl[std::size_t(i)]);
        m_form.button(QStringLiteral("Option1_%1").arg(i), m_core.Option1[std::size_t(i)], [this, i] {
            if (m_core.Option1[std::size_t(i)].checked)
                m_core.Option1_Click(i);
        });
    }
    m_form.button(QStringLiteral("cb_messen"), m_core.cb_messen, [this] { m_core.cb_messen_MouseUp(1); });
    m_form.button(QStringLiteral("cb_messenschnell"), m_core.cb_messenschnell,
                  [this] { m_core.cb_messenschnell_MouseUp(1); });
    m_form.label(QStringLiteral("lb_cc_1"), m_core.lb_cc_1);
    m_form.label(QStringLiteral("lb_cc_2"), m_core.lb_cc_2);
    for (int i = 0; i < StageSimCore::Scales; ++i)
        m_form.label(QString::fromLatin1(StageSimCore::ScaleNames[std::size_t(i)]), m_core.scaleLabels[std::size_t(i)]);
    bindBar(QStringLiteral("ScrollX"), 0);
    bindBar(QStringLiteral("ScrollY"), 1);
    m_form.setAfterEvent([this] {
        paintGrid();
        // The fast loop's rounds: one per pass of the event loop.
        if (m_core.fastRunning() && !m_fast.isActive())
            m_fast.start();
    });
    m_fast.setInterval(0);
    connect(&m_fast, &QTimer::timeout, this, [this] {
        m_form.handle("Mikroskop_Simulator fast loop", [this] { m_core.fastStep(); });
        if (!m_core.fastRunning())
            m_fast.stop();
    });

    m_core.Form_Load();
    render();
}

frm_MSim::~frm_MSim()
{
    m_core.Form_Unload();
}

QWidget* frm_MSim::pb_gitter() const
{
    return m_ui->pb_gitter;
}

void frm_MSim::bindBar(const QString& name, int axis)
{
    auto* bar = findChild<QScrollBar*>(name);
    kit::RangeControl& state = axis == 0 ? m_core.ScrollX : m_core.ScrollY;
    // A drag sets the speed; its release and any other change (arrow,
    // trough, key) spring the bar back.
    m_form.range(
        name, state, [this, axis] { m_core.Scroll_Change(axis); }, [this, axis] { m_core.Scroll_Scroll(axis); });
    bar->installEventFilter(this);
}

void frm_MSim::render()
{
    paintGrid();
    m_form.render();
}

void frm_MSim::paintGrid()
{
    m_spot->move(int(std::lround(m_core.shape1Left / 15.0)), int(std::lround(m_core.shape1Top / 15.0)));
    if (m_shownGrid != m_core.gridBox) {
        m_shownGrid = m_core.gridBox;
        m_ui->pb_gitter->update();
    }
}

bool frm_MSim::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_ui->pb_gitter) {
        if (event->type() == QEvent::Paint) {
            QPainter painter(m_ui->pb_gitter);
            painter.fillRect(m_ui->pb_gitter->rect(), Qt::white);
            painter.scale(1 / 15.0, 1 / 15.0);
            painter.setPen(QPen(bgrColor(StageSimCore::GridColor), 0));
            painter.drawLines(m_shownGrid);
            painter.setPen(QPen(bgrColor(StageSimCore::SpotColor), 0));
            const int c = StageSimCore::Crosshair;
            painter.drawLine(c, 0, c, StageSimCore::Field);
            painter.drawLine(0, c, StageSimCore::Field, c);
            return true;
        }
        if (event->type() == QEvent::MouseButtonPress) {
            m_form.handle("pb_gitter_MouseDown", [this] { m_core.pb_gitter_MouseDown(); });
            return true;
        }
    } else if (event->type() == QEvent::KeyRelease) {
        const int axis = watched == m_ui->ScrollX ? 0 : 1;
        m_form.handle("Scroll_KeyUp", [this, axis] { m_core.Scroll_KeyUp(axis); });
    }
    return QWidget::eventFilter(watched, event);
}

void frm_MSim::closeEvent(QCloseEvent* event)
{
    m_form.handle("Mikroskop_Simulator Form_Unload", [this] { m_core.Form_Unload(); });
    m_fast.stop();
    event->accept();
    // Closing unloads the window: its frame goes too (and with it the window,
    // so that the next opening loads a new one).
    if (QWidget* sub = parentWidget(); sub && sub->inherits("QMdiSubWindow"))
        sub->close();
}
