#include "Help.h"

#include "Platform.h"

#include <QFileInfo>
#include <QWidget>

QString HelpFileForExecutable(const QString& executablePath) {
    const QFileInfo exe(executablePath);
    const QString suffix = exe.suffix();
    QString path = exe.filePath();
    if (!suffix.isEmpty())
        path.chop(suffix.size() + 1);
    return path + QStringLiteral(".chm");
}

void ShowHelpTopic(QWidget* owner, const QString& helpFile, const QString& topic) {
    // The system's HTML help viewer where there is one; else the window's own.
    const auto ownerWindow = static_cast<std::uintptr_t>(owner->window()->winId());
    if (Platform::ShowHtmlHelpTopic(ownerWindow, helpFile.toStdString(), topic.toStdString()))
        return;
    ShowHelpTopicInOwnViewer(owner, helpFile, topic);
}
