// The help shown by the window's own viewer, for systems without an HTML help viewer.
#include "Help.h"
#include "HelpViewer.h"

void ShowHelpTopicInOwnViewer(QWidget* owner, const QString& helpFile, const QString& topic) {
    // One viewer window per main window, reused by every later request.
    auto* viewer = owner->findChild<THelpViewer*>(QString(), Qt::FindDirectChildrenOnly);
    if (viewer == nullptr)
        viewer = new THelpViewer(owner);
    viewer->ShowTopic(helpFile, topic);
}
