// Kelvane: the MDI frame with an empty workspace for now.

#include <QApplication>
#include <QMainWindow>
#include <QMdiArea>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Kelvane"));
    QApplication::setApplicationName(QStringLiteral("Kelvane"));
    QMainWindow frame;
    frame.setWindowTitle(QStringLiteral(" Kelvane V2.1"));
    frame.setCentralWidget(new QMdiArea(&frame));
    frame.resize(1024, 720);
    frame.show();
    return app.exec();
}
