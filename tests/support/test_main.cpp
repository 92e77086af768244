// GoogleTest entry point for every Kelvane suite. Listing the tests needs no
// QApplication (test discovery runs the binary without the test environment);
// everything else runs offscreen unless the caller asked for a display.

#include <gtest/gtest.h>

#ifdef KELVANE_TEST_WIDGETS
#include <QApplication>
using TestApplication = QApplication;
#else
#include <QGuiApplication>
using TestApplication = QGuiApplication;
#endif
#include <QLocale>

#include <cstdlib>
#include <cstring>

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    if (::testing::GTEST_FLAG(list_tests))
        return RUN_ALL_TESTS();
    if (!std::getenv("KELVANE_TEST_DISPLAY"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    TestApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
