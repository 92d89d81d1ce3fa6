#include "app/errordisplay.h"
#include "app/programpaths.h"
#include "app/settings.h"
#include "app/programwindows.h"

#include <QApplication>
#include <QStringList>
#include <cstdio>

namespace {

// Nothing thrown inside an event handler may end the program: it goes to the default error display.
class RacrApplication : public QApplication {
public:
    using QApplication::QApplication;

    bool notify(QObject* receiver, QEvent* event) override
    {
        bool handled = false;
        guarded([&] { handled = QApplication::notify(receiver, event); });
        return handled;
    }
};

// Takes "--name value" out of the arguments; returns the value or an empty text.
QString takeOption(QStringList& arguments, const QString& name)
{
    const qsizetype at = arguments.indexOf(name);
    if (at < 0 || at + 1 >= arguments.size())
        return {};
    const QString value = arguments.at(at + 1);
    arguments.remove(at, 2);
    return value;
}

int runWindows()
{
    ProgramWindows windows;
    QObject::connect(&windows.main, &TForm1::closed, qApp, &QCoreApplication::quit);
    windows.main.show();
    return QApplication::exec();
}

} // namespace

int main(int argc, char** argv)
{
    RacrApplication app(argc, argv);
    QStringList arguments = QCoreApplication::arguments().mid(1);

    QString home = takeOption(arguments, QStringLiteral("--home"));
    if (!home.isEmpty())
        ProgramPaths::setHome(home);
    const QString serviceBase = takeOption(arguments, QStringLiteral("--service-base"));
    if (!serviceBase.isEmpty())
        settings::setServiceBaseOverride(serviceBase);

    if (arguments.isEmpty())
        return runWindows();

    std::fprintf(stderr, "racr: unknown command \"%s\"\n"
                         "usage: racr [--home DIR] [--service-base URL]\n",
                 qUtf8Printable(arguments.join(' ')));
    return 2;
}
