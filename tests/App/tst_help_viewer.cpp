// The window's own help viewer, where the system has no HTML help viewer: "Help" opens the
// introduction of the built help file in a window that is not modal, follows links, and is reused;
// a missing help file opens no viewer.
#include "HelpViewer.h"
#include "MainFormProbe.h"
#include "ScenarioRunner.h"
#include "WindowTestSupport.h"

#include <QAction>
#include <QFile>
#include <QtTest>

class HelpViewerTest : public QObject {
    Q_OBJECT
  private:
    std::unique_ptr<TMainForm> form;

    QString HelpFile() const {
        return QCoreApplication::applicationDirPath() + QStringLiteral("/app_help_viewer.chm");
    }

  private slots:
    void init() {
        form = TMainFormProbe::IdleForm();
        form->show();
    }
    void cleanup() {
        form.reset();
        if (QFile::exists(HelpFile() + QStringLiteral(".away")))
            QFile::rename(HelpFile() + QStringLiteral(".away"), HelpFile());
    }

    void helpShowsIntroductionAndFollowsLinks();
    void missingHelpFileOpensNoViewer();
};

void HelpViewerTest::helpShowsIntroductionAndFollowsLinks() {
    QVERIFY2(QFile::exists(HelpFile()), qPrintable(HelpFile()));
    Control<QAction>(*form, "aHelp")->trigger();
    auto* viewer = form->findChild<THelpViewer*>();
    QVERIFY(viewer != nullptr);
    QVERIFY(viewer->isVisible());
    QVERIFY(QApplication::activeModalWidget() == nullptr); // not modal
    TChmBrowser* browser = viewer->Browser();
    QCOMPARE(browser->source(), QUrl(QStringLiteral("chm:/Introduction.htm")));
    QCOMPARE(browser->documentTitle(), QStringLiteral("ZYL VEK RDM Tool"));
    QVERIFY(browser->toPlainText().contains(QStringLiteral("sets up lighting fixtures of the VEK family")));

    // A link of the page: the tab key selects the links in order, Return follows one.
    browser->setFocus();
    QTest::keyClick(browser, Qt::Key_Tab); // "Introduction"
    QTest::keyClick(browser, Qt::Key_Tab); // "Connecting the cable"
    QTest::keyClick(browser, Qt::Key_Return);
    QCOMPARE(browser->source(), QUrl(QStringLiteral("chm:/Connecting.htm")));
    QCOMPARE(browser->documentTitle(), QStringLiteral("Connecting the cable"));

    // Help again: the same window, back at the introduction.
    Control<QAction>(*form, "aHelp")->trigger();
    QCOMPARE(form->findChildren<THelpViewer*>().size(), 1);
    QCOMPARE(browser->source(), QUrl(QStringLiteral("chm:/Introduction.htm")));
    QCOMPARE(browser->documentTitle(), QStringLiteral("ZYL VEK RDM Tool"));
}

void HelpViewerTest::missingHelpFileOpensNoViewer() {
    QVERIFY(QFile::rename(HelpFile(), HelpFile() + QStringLiteral(".away")));
    TScenarioRunner run(nullptr);
    run.OnMessageBox(QStringLiteral("missing help box"), [](QMessageBox* box) { box->accept(); });
    run.Start();
    Control<QAction>(*form, "aHelp")->trigger();
    QVERIFY2(run.Done() && !run.Failed(), qPrintable(run.Failure()));
    QVERIFY(form->findChild<THelpViewer*>() == nullptr);
}

QTEST_MAIN(HelpViewerTest)
#include "tst_help_viewer.moc"
