// Entry point of the ZYL VEK RDM Tool. Takes no arguments and reads none.
#include "Main.h"
#include "Themes.h"

#include <QApplication>

#if defined(_MSC_VER) && defined(_DEBUG)
#include <crtdbg.h>
#include <windows.h>
#endif

int main(int, char* argv[]) {
#if defined(_MSC_VER) && defined(_DEBUG)
    // Under a debugger, report the memory still allocated at exit.
    if (IsDebuggerPresent())
        _CrtSetDbgFlag(_CrtSetDbgFlag(_CRTDBG_REPORT_FLAG) | _CRTDBG_LEAK_CHECK_DF);
#endif
    // The windows are laid out in pixels and are not scaled to the screen's dots per inch.
    qputenv("QT_ENABLE_HIGHDPI_SCALING", "0");

    // Qt sees no command-line options: the tool has none.
    static int argc = 1;
    static char* args[] = {argv[0], nullptr};
    QApplication app(argc, args);
    QApplication::setApplicationName(QStringLiteral("ZYLVEK_RDM"));

    Themes::RegisterBuiltInThemes();
    Themes::SetStyleOrReport(QStringLiteral("Cobalt XEMedia"));

    TMainForm MainForm;
    MainForm.show();
    return QApplication::exec();
}
