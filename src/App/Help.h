// The help file lies beside the executable, named like it with the extension ".chm".
#pragma once

#include <QString>

class QWidget;

// The executable's full path with its extension replaced by ".chm".
QString HelpFileForExecutable(const QString& executablePath);

// Shows a topic of the help file in the platform's help viewer, in its own window, without
// blocking `owner`. The viewer reports its own failures.
void ShowHelpTopic(QWidget* owner, const QString& helpFile, const QString& topic);

// The window's own help viewer, used where the system has no HTML help viewer: one viewer window
// per owner, showing the topic "<topic>.htm" of the help file.
void ShowHelpTopicInOwnViewer(QWidget* owner, const QString& helpFile, const QString& topic);
