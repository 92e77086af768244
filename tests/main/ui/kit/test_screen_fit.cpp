// Windows larger than the screen: made smaller where their layout allows it,
// else given a scroll area that reaches every control; windows that fit are
// left alone, and a window placed off the screen is brought back onto it.

#include "ScreenFit.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QMainWindow>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

namespace {

QRect available()
{
    return QGuiApplication::primaryScreen()->availableGeometry();
}

struct Built
{
    std::unique_ptr<QWidget> window;
    QPushButton* farButton = nullptr;  // the control furthest right and down
    QLabel* hidden = nullptr;          // hidden by the program
    QMenuBar* menuBar = nullptr;
};

struct FitCase
{
    const char* name;
    Built (*build)();
    bool scrolls;  // gets a scroll area
    bool resized;  // its size changes
    Qt::Orientations scrollWays = {};
};

void PrintTo(const FitCase& c, std::ostream* os)
{
    *os << c.name;
}

// A form laid out wider and taller than the screen, with a menu bar.
Built laidOutTooLarge()
{
    Built b;
    b.window = std::make_unique<QWidget>();
    auto* layout = new QHBoxLayout(b.window.get());
    b.menuBar = new QMenuBar(b.window.get());
    b.menuBar->addMenu(QStringLiteral("Editor"));
    layout->setMenuBar(b.menuBar);
    auto* wide = new QLabel(QStringLiteral("left column"));
    wide->setMinimumSize(available().width() + 300, available().height() + 100);
    layout->addWidget(wide);
    b.hidden = new QLabel(QStringLiteral("not offered"));
    layout->addWidget(b.hidden);
    b.hidden->hide();
    b.farButton = new QPushButton(QStringLiteral("right column"));
    layout->addWidget(b.farButton);
    return b;
}

// Controls placed by hand beyond the screen's edge.
Built placedTooLarge()
{
    Built b;
    b.window = std::make_unique<QWidget>();
    b.window->resize(available().width() + 200, 300);
    b.hidden = new QLabel(QStringLiteral("not offered"), b.window.get());
    b.hidden->setGeometry(10, 10, 100, 20);
    b.hidden->hide();
    b.farButton = new QPushButton(QStringLiteral("far"), b.window.get());
    b.farButton->setGeometry(available().width() + 100, 250, 80, 30);
    return b;
}

// A layout that can shrink, in a window made too large.
Built shrinkable()
{
    Built b;
    b.window = std::make_unique<QWidget>();
    auto* layout = new QHBoxLayout(b.window.get());
    b.farButton = new QPushButton(QStringLiteral("OK"));
    layout->addWidget(b.farButton);
    b.window->resize(available().width() + 200, available().height() + 200);
    return b;
}

Built fitting()
{
    Built b;
    b.window = std::make_unique<QWidget>();
    b.window->resize(300, 200);
    b.farButton = new QPushButton(QStringLiteral("OK"), b.window.get());
    b.farButton->setGeometry(200, 150, 80, 30);
    return b;
}

class ScreenFitTest : public ::testing::TestWithParam<FitCase>
{
protected:
    kit::ScreenFit fit;
};

TEST_P(ScreenFitTest, EveryControlIsWithinReach)
{
    const FitCase c = GetParam();
    Built b = c.build();
    QWidget* w = b.window.get();
    const QSize before = w->size();
    QWidget* const formerParent = b.farButton->parentWidget();
    int clicked = 0;
    QObject::connect(b.farButton, &QPushButton::clicked, [&clicked] { ++clicked; });
    w->show();
    QApplication::processEvents();

    EXPECT_EQ(kit::ScreenFit::scrollArea(w) != nullptr, c.scrolls);
    EXPECT_EQ(w->size() != before, c.resized) << w->width() << "x" << w->height();
    EXPECT_TRUE(available().contains(w->frameGeometry()))
        << w->frameGeometry().width() << "x" << w->frameGeometry().height();
    if (!c.scrolls) {
        EXPECT_EQ(b.farButton->parentWidget(), formerParent);
    }

    if (auto* area = qobject_cast<QScrollArea*>(kit::ScreenFit::scrollArea(w))) {
        // Scrolled to, the furthest control lies inside the window and works.
        area->ensureWidgetVisible(b.farButton, 0, 0);
        const QRect shown(b.farButton->mapTo(w, QPoint(0, 0)), b.farButton->size());
        EXPECT_TRUE(w->rect().contains(shown));
        EXPECT_TRUE(b.farButton->isVisible());
        EXPECT_EQ(area->horizontalScrollBar()->maximum() > 0, c.scrollWays.testFlag(Qt::Horizontal));
        EXPECT_EQ(area->verticalScrollBar()->maximum() > 0, c.scrollWays.testFlag(Qt::Vertical));
        QTest::mouseClick(b.farButton, Qt::LeftButton);
        EXPECT_EQ(clicked, 1);
        // What the program hid stays hidden; the menu bar does not scroll away.
        EXPECT_TRUE(b.hidden->isHidden());
        if (b.menuBar) {
            EXPECT_FALSE(area->isAncestorOf(b.menuBar));
            EXPECT_EQ(b.menuBar->mapTo(w, QPoint(0, 0)), QPoint(0, 0));
        }
    } else {
        EXPECT_TRUE(w->rect().contains(QRect(b.farButton->mapTo(w, QPoint(0, 0)), b.farButton->size())));
    }

    // Shown again it is not wrapped twice.
    w->hide();
    w->show();
    QApplication::processEvents();
    EXPECT_EQ(w->findChildren<QScrollArea*>().size(), c.scrolls ? 1 : 0);
}

INSTANTIATE_TEST_SUITE_P(
    Windows, ScreenFitTest,
    ::testing::Values(FitCase{"LaidOutTooLarge", laidOutTooLarge, true, true, Qt::Horizontal | Qt::Vertical},
                      FitCase{"PlacedByHandTooLarge", placedTooLarge, true, true, Qt::Horizontal},
                      FitCase{"LayoutThatShrinks", shrinkable, false, true}, FitCase{"Fitting", fitting, false, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ScreenFitPlacement, AWindowPlacedOffTheScreenIsBroughtBack)
{
    kit::ScreenFit fit;
    QWidget w;
    w.resize(300, 200);
    w.move(available().right() - 50, available().bottom() - 20);
    w.show();
    QApplication::processEvents();
    EXPECT_TRUE(available().contains(w.frameGeometry()));
    EXPECT_EQ(w.size(), QSize(300, 200));
}

TEST(ScreenFitPlacement, WithoutTheWatcherWindowsStayAsMade)
{
    Built b = laidOutTooLarge();
    {
        kit::ScreenFit fit;
    }
    b.window->show();
    QApplication::processEvents();
    EXPECT_EQ(kit::ScreenFit::scrollArea(b.window.get()), nullptr);
}

// A window opened beside another (a widget of a main window with a menu bar;
// a negative x counts from the right): on the side with room, level with it,
// below the menu bar and fitted there.
TEST(ScreenFitPlacement, BesideAnotherClearOfItAndOfTheMenuBar)
{
    const struct
    {
        QRect beside;
        int height;
        bool right;
    } rows[] = {{{10, 20, 300, 200}, 200, true}, {{-320, 20, 300, 200}, 200, false}, {{10, -60, 300, 200}, 2000, true}};
    for (const auto& c : rows) {
        QMainWindow main;
        QMenuBar* bar = main.menuBar();
        bar->addMenu(QStringLiteral("Datei"));
        main.setGeometry(available());
        main.show();
        auto* beside = new QWidget(&main);
        beside->setGeometry(c.beside.translated(c.beside.x() < 0 ? main.width() : 0, bar->height()));
        QWidget w;
        (new QHBoxLayout(&w))->addWidget(new QPushButton(QStringLiteral("list")));
        w.resize(150, c.height);
        kit::placeBeside(&w, beside);
        w.show();
        const QRect next(beside->mapToGlobal(QPoint(0, 0)), beside->size()), shown = w.frameGeometry();
        EXPECT_FALSE(shown.intersects(next)) << c.beside.x();
        EXPECT_EQ(shown.left() > next.right(), c.right) << c.beside.x();
        EXPECT_EQ(shown.top(), std::max(next.top(), bar->mapToGlobal(QPoint(0, bar->height())).y())) << c.height;
        EXPECT_TRUE(available().contains(shown)) << c.height;
    }
}

// The window that disabled the main window is activated again when the main
// window is; not once the main window is enabled again.
TEST(ScreenFitKeyboard, StaysWithTheWindowThatDisabledTheMainWindow)
{
    for (const bool disabled : {true, false}) {
        QWidget main, window, other;
        kit::keepInFrontOf(&window, &main);
        for (QWidget* w : {&main, &window, &other})
            w->show();
        other.activateWindow();
        ASSERT_TRUE(QTest::qWaitFor([&other] { return QApplication::activeWindow() == &other; }));
        main.setEnabled(!disabled);
        main.activateWindow();
        QWidget* const active = disabled ? &window : &main;
        EXPECT_TRUE(QTest::qWaitFor([active] { return QApplication::activeWindow() == active; }));
        QApplication::processEvents();
        QApplication::processEvents();
        EXPECT_EQ(QApplication::activeWindow(), active) << disabled;
    }
}

}  // namespace
