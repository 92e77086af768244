// levelon-register: enters the gauge library in the program's component
// registry, or removes it, by calling the library's own entry points.
//
//   levelon-register [--unregister] [--registry FILE] [LIBRARY]
//
// LIBRARY defaults to the library shipped beside this tool (build folder) or
// in its installed library folder; FILE to the registry
// the program reads (KELVANE_COMPONENT_REGISTRY or the per-user file).

#include "ComponentRegistry.h"
#include "LevelonComponent.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QLibrary>

#include <cstdio>

namespace {

int usage()
{
    std::fprintf(stderr, "usage: levelon-register [--unregister] [--registry FILE] [LIBRARY]\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    bool unregister = false;
    QString library;
    const QStringList args = app.arguments().mid(1);
    for (int i = 0; i < args.size(); ++i) {
        const QString& a = args.at(i);
        if (a == QLatin1String("--unregister") || a == QLatin1String("-u")) {
            unregister = true;
        } else if (a == QLatin1String("--registry") && i + 1 < args.size()) {
            qputenv("KELVANE_COMPONENT_REGISTRY", QFileInfo(args.at(++i)).absoluteFilePath().toLocal8Bit());
        } else if (a.startsWith(QLatin1Char('-')) || !library.isEmpty()) {
            return usage();
        } else {
            library = a;
        }
    }
    if (library.isEmpty())
        library = levelon::shippedLibrary(QCoreApplication::applicationDirPath());
    if (library.isEmpty())
        library = QCoreApplication::applicationDirPath() + QLatin1Char('/') + QLatin1String(levelon::LibraryFileName);

    QLibrary lib(QFileInfo(library).absoluteFilePath());
    if (!lib.load()) {
        std::fprintf(stderr, "levelon-register: %s\n", qPrintable(lib.errorString()));
        return 1;
    }
    const char* symbol = unregister ? levelon::UnregisterServerSymbol : levelon::RegisterServerSymbol;
    const auto entry = reinterpret_cast<levelon::RegisterServerFn>(lib.resolve(symbol));
    if (!entry) {
        std::fprintf(stderr, "levelon-register: %s has no entry point %s\n", qPrintable(library), symbol);
        return 1;
    }
    const int result = entry();
    if (result != levelon::ServerOk) {
        std::fprintf(stderr, "levelon-register: %s failed (%d)\n", symbol, result);
        return 1;
    }
    std::printf("%s %s\n", unregister ? "unregistered" : "registered", qPrintable(lib.fileName()));
    return 0;
}
