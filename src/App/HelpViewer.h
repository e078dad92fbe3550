// A window of our own that shows the pages of the compiled help file where the system has no HTML
// help viewer. It is not modal; links between pages of the file are followed inside it.
#pragma once

#include "ChmFile.h"

#include <QTextBrowser>
#include <QWidget>

// Serves the pages and pictures of one help file to the text browser, under URLs chm:/<path>.
class TChmBrowser : public QTextBrowser {
    Q_OBJECT
  public:
    explicit TChmBrowser(QWidget* parent = nullptr);
    TChmFile& File() { return fFile; }
    QVariant loadResource(int type, const QUrl& name) override;

  private:
    TChmFile fFile;
};

class THelpViewer : public QWidget {
    Q_OBJECT
  public:
    explicit THelpViewer(QWidget* parent = nullptr);

    // Opens the help file (again, in case it changed) and shows the page "<topic>.htm" at its root.
    // When the file or the page cannot be read, the window says so in place of the page.
    void ShowTopic(const QString& helpFile, const QString& topic);

    TChmBrowser* Browser() const { return fBrowser; }

  private:
    TChmBrowser* fBrowser;
};
