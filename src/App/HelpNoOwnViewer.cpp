// Systems with an HTML help viewer of their own have no second one in the window: when the system's
// viewer cannot be started, that is the system's to report.
#include "Help.h"

void ShowHelpTopicInOwnViewer(QWidget* /*owner*/, const QString& /*helpFile*/, const QString& /*topic*/) {}
