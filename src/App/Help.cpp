#include "Help.h"

#include <QFileInfo>

#ifdef _WIN32
#include <QWidget>

#include <string>

#include <windows.h>
#else
#include "HelpViewer.h"
#endif

QString HelpFileForExecutable(const QString& executablePath)
{
    const QFileInfo exe(executablePath);
    const QString suffix = exe.suffix();
    QString path = exe.filePath();
    if (!suffix.isEmpty())
        path.chop(suffix.size() + 1);
    return path + QStringLiteral(".chm");
}

#ifdef _WIN32
void ShowHelpTopic(QWidget* owner, const QString& helpFile, const QString& topic)
{
    // The HTML help viewer (hhctrl.ocx) is bound at run time; HH_DISPLAY_TOPIC is 0.
    using THtmlHelpW = HWND(WINAPI*)(HWND, LPCWSTR, UINT, DWORD_PTR);
    static HMODULE lib = LoadLibraryW(L"hhctrl.ocx");
    static auto htmlHelp =
        lib != nullptr ? reinterpret_cast<THtmlHelpW>(reinterpret_cast<void*>(GetProcAddress(lib, "HtmlHelpW")))
                       : nullptr;
    if (htmlHelp == nullptr)
        return;
    const std::wstring target = (helpFile + QStringLiteral("::/") + topic + QStringLiteral(".htm")).toStdWString();
    htmlHelp(reinterpret_cast<HWND>(owner->window()->winId()), target.c_str(), 0, 0);
}
#else
void ShowHelpTopic(QWidget* owner, const QString& helpFile, const QString& topic)
{
    // One viewer window per main window, reused by every later request.
    auto* viewer = owner->findChild<THelpViewer*>(QString(), Qt::FindDirectChildrenOnly);
    if (viewer == nullptr)
        viewer = new THelpViewer(owner);
    viewer->ShowTopic(helpFile, topic);
}
#endif
