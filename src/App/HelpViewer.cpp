#include "HelpViewer.h"

#include <QDir>
#include <QImage>
#include <QTextDocument>
#include <QVBoxLayout>

namespace {

const QString kScheme = QStringLiteral("chm");

QString ProblemPage(const QString& text) {
    return QStringLiteral("<html><body><h3>%1</h3></body></html>").arg(text.toHtmlEscaped());
}

} // namespace

TChmBrowser::TChmBrowser(QWidget* parent) : QTextBrowser(parent) {
    setOpenExternalLinks(false);
    setOpenLinks(true);
}

QVariant TChmBrowser::loadResource(int type, const QUrl& name) {
    if (name.scheme() != kScheme)
        return QVariant(); // only pages of the help file are shown here
    const auto data = fFile.Read(name.path());
    if (!data)
        return type == QTextDocument::HtmlResource
                   ? QVariant(
                         ProblemPage(QStringLiteral("Page %1 not found in the help file").arg(name.path())))
                   : QVariant();
    if (type == QTextDocument::ImageResource)
        return QImage::fromData(*data);
    return QVariant(*data);
}

THelpViewer::THelpViewer(QWidget* parent) : QWidget(parent, Qt::Window), fBrowser(new TChmBrowser(this)) {
    setObjectName(QStringLiteral("HelpViewer"));
    setWindowTitle(QStringLiteral("ZYL VEK RDM Tool Help"));
    // An open help window does not keep the application running once the main window closes.
    setAttribute(Qt::WA_QuitOnClose, false);
    fBrowser->setObjectName(QStringLiteral("HelpBrowser"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(fBrowser);
    resize(720, 600);
}

void THelpViewer::ShowTopic(const QString& helpFile, const QString& topic) {
    if (!fBrowser->File().Open(helpFile)) {
        fBrowser->setHtml(ProblemPage(
            QStringLiteral("The help file %1 cannot be read").arg(QDir::toNativeSeparators(helpFile))));
    } else {
        QUrl url;
        url.setScheme(kScheme);
        url.setPath(QLatin1Char('/') + topic + QStringLiteral(".htm"));
        fBrowser->clearHistory();
        // setSource skips loading when the URL is the one already shown; the file may have changed.
        fBrowser->setSource(QUrl());
        fBrowser->setSource(url, QTextDocument::HtmlResource);
    }
    show();
    raise();
    activateWindow();
}
