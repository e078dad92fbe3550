// The Help menu: the About box (layout, texts, closed by a press anywhere), the help file set at
// start, the missing-file message; and the themes the window starts with. The viewers themselves
// are tested per system (tst_help_viewer.cpp, tst_windows_native.cpp).
#include "About.h"
#include "MainFormProbe.h"
#include "ScenarioRunner.h"
#include "Shape.h"
#include "Themes.h"
#include "WindowTestSupport.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QtTest>

class AboutHelpTest : public QObject {
    Q_OBJECT
  private:
    std::unique_ptr<TMainForm> form;

    QString HelpFile() const {
        return QCoreApplication::applicationDirPath() + QStringLiteral("/app_about_help.chm");
    }
    QString ThemeFile() const {
        return QCoreApplication::applicationDirPath() + QStringLiteral("/ZYLStyle.vsf");
    }

    // Chooses "About" and hands the open box to `inspect`, which must close it.
    bool WithAboutBox(const std::function<void(TAboutForm*, TScenarioRunner&)>& inspect, QString& failure) {
        TScenarioRunner run(nullptr);
        run.Step(
            QStringLiteral("About box open"),
            [] { return qobject_cast<TAboutForm*>(QApplication::activeModalWidget()) != nullptr; },
            [&] { inspect(qobject_cast<TAboutForm*>(QApplication::activeModalWidget()), run); });
        run.Start();
        Control<QAction>(*form, "aAbout")->trigger(); // returns when the box has closed
        failure = run.Failure();
        return run.Done() && !run.Failed();
    }

  private slots:
    void initTestCase() { Themes::RegisterBuiltInThemes(); }
    void init() {
        form = TMainFormProbe::IdleForm();
        form->show();
    }
    void cleanup() {
        form.reset();
        if (QFile::exists(HelpFile() + QStringLiteral(".away")))
            QFile::rename(HelpFile() + QStringLiteral(".away"), HelpFile());
        QFile::remove(ThemeFile());
        Themes::RegisterBuiltInThemes();
    }

    void aboutBoxLayout_data();
    void aboutBoxLayout();
    void aboutBoxIsASmallFixedToolWindow();
    void pressAnywhereClosesTheAboutBox_data();
    void pressAnywhereClosesTheAboutBox();
    void eachAboutIsANewBox();
    void helpFileSetAtStartWhenPresent();
    void missingHelpFileIsReportedWithItsPath();
    void themeText_data();
    void themeText();
    void builtInThemesExistAndMissingOneIsReported();
    void themeFileStandsInOnlyWithoutZYL01();
};

void AboutHelpTest::aboutBoxLayout_data() {
    QTest::addColumn<QString>("parentName");
    QTest::addColumn<QRect>("rect"); // an empty size: sized to the text
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("pixels");

    const auto row = [](const char* name, const char* parent, QRect r, const char* text, int pixels) {
        QTest::newRow(name) << QString::fromLatin1(parent) << r << QString::fromUtf8(text) << pixels;
    };
    row("Panel2", "AboutForm", {0, 0, 313, 92}, "", 16);
    row("Label1", "Panel2", {16, 16, 0, 0}, "ZYL VEK RDM Tool", 16);
    row("Label2", "Panel2", {16, 41, 0, 0}, "Version:1.1", 13);
    row("Label3", "Panel2", {16, 66, 313, 19}, "ZYL Lighting - for service use only", 13);
    row("Panel1", "AboutForm", {0, 92, 313, 34}, "", 16);
    row("Shape1", "Panel1", {0, 0, 313, 34}, "", 16);
    row("Panel3", "Panel1", {73, 3, 168, 29}, "", 16);
    row("bOk", "Panel1", {73, 3, 168, 29}, "Ok", 16);
}

void AboutHelpTest::aboutBoxLayout() {
    QFETCH(QString, parentName);
    QFETCH(QRect, rect);
    QFETCH(QString, text);
    QFETCH(int, pixels);
    const QString name = QString::fromLatin1(QTest::currentDataTag());

    QString failure;
    const bool ok = WithAboutBox(
        [&](TAboutForm* box, TScenarioRunner& run) {
            QWidget* w = box->findChild<QWidget*>(name);
            if (run.Expect(w != nullptr, name + QStringLiteral(" missing"))) {
                run.Expect(w->parentWidget()->objectName() == parentName, QStringLiteral("parent"));
                run.Expect(w->pos() == rect.topLeft(), QStringLiteral("position"));
                if (rect.isEmpty())
                    run.Expect(w->size() == w->sizeHint(), QStringLiteral("sized to its text"));
                else
                    run.Expect(w->size() == rect.size(), QStringLiteral("size"));
                const QVariant shown = w->property("text");
                if (shown.isValid())
                    run.Expect(shown.toString() == text, QStringLiteral("text: ") + shown.toString());
                run.Expect(w->font().pixelSize() == pixels && w->font().bold(),
                           QStringLiteral("Tahoma bold"));
                if (name == QStringLiteral("Label3"))
                    run.Expect(!w->isEnabled(), QStringLiteral("notice greyed"));
            }
            box->reject();
        },
        failure);
    QVERIFY2(ok, qPrintable(failure));
}

void AboutHelpTest::aboutBoxIsASmallFixedToolWindow() {
    QString failure;
    const bool ok = WithAboutBox(
        [&](TAboutForm* box, TScenarioRunner& run) {
            run.Expect(box->windowTitle() == QStringLiteral("About"), QStringLiteral("caption"));
            run.Expect(box->size() == QSize(313, 126), QStringLiteral("client size"));
            run.Expect(box->minimumSize() == box->maximumSize(), QStringLiteral("not resizable"));
            run.Expect((box->windowFlags() & Qt::WindowType_Mask) == Qt::Tool, QStringLiteral("tool window"));
            run.Expect(box->windowFlags().testFlag(Qt::WindowCloseButtonHint), QStringLiteral("close box"));
            run.Expect(box->parent() == form.get(), QStringLiteral("owned by the main window"));
            box->reject();
        },
        failure);
    QVERIFY2(ok, qPrintable(failure));
}

void AboutHelpTest::pressAnywhereClosesTheAboutBox_data() {
    QTest::addColumn<QString>("target");
    for (const char* target : {"bOk", "Panel2", "Label1", "Label2", "Label3", "Shape1"})
        QTest::newRow(target) << QString::fromLatin1(target);
}

void AboutHelpTest::pressAnywhereClosesTheAboutBox() {
    QFETCH(QString, target);
    int result = -1;
    QString failure;
    const bool ok = WithAboutBox(
        [&](TAboutForm* box, TScenarioRunner& run) {
            connect(box, &QDialog::finished, box, [&](int r) { result = r; });
            QWidget* w = box->findChild<QWidget*>(target);
            if (run.Expect(w != nullptr, target)) {
                QTest::mousePress(w, Qt::LeftButton, {}, QPoint(2, 2)); // closes at the press
                run.Expect(!box->isVisible(), QStringLiteral("closed at the press"));
                QTest::mouseRelease(w, Qt::LeftButton, {}, QPoint(2, 2));
            }
            if (box->isVisible())
                box->reject();
        },
        failure);
    QVERIFY2(ok, qPrintable(failure));
    QCOMPARE(result, TAboutForm::mrCancel);
}

void AboutHelpTest::eachAboutIsANewBox() {
    QList<TAboutForm*> shown;
    for (int i = 0; i < 2; ++i) {
        QString failure;
        QVERIFY2(WithAboutBox(
                     [&](TAboutForm* box, TScenarioRunner&) {
                         shown << box;
                         QTest::mousePress(box->bOk, Qt::LeftButton);
                     },
                     failure),
                 qPrintable(failure));
    }
    QCOMPARE(shown.size(), 2);
    QVERIFY(shown[0] != shown[1]);
    QCOMPARE(form->findChildren<TAboutForm*>().size(), 2);
}

void AboutHelpTest::helpFileSetAtStartWhenPresent() {
    QCOMPARE(TMainFormProbe(*form).HelpFile(), HelpFile());
    form.reset();
    QVERIFY(QFile::rename(HelpFile(), HelpFile() + QStringLiteral(".away")));
    form = TMainFormProbe::IdleForm();
    form->show();
    QTest::qWait(100);
    QVERIFY(QApplication::activeModalWidget() == nullptr); // no message at start
    QCOMPARE(TMainFormProbe(*form).HelpFile(), QString());
}

void AboutHelpTest::missingHelpFileIsReportedWithItsPath() {
    QVERIFY(QFile::rename(HelpFile(), HelpFile() + QStringLiteral(".away")));
    QString text;
    QMessageBox::StandardButtons buttons;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    TScenarioRunner run(nullptr);
    run.OnMessageBox(QStringLiteral("missing help box"), [&](QMessageBox* box) {
        text = box->text();
        buttons = box->standardButtons();
        icon = box->icon();
        box->accept();
    });
    run.Start();
    Control<QAction>(*form, "aHelp")->trigger();
    QVERIFY2(run.Done() && !run.Failed(), qPrintable(run.Failure()));
    QCOMPARE(text, QStringLiteral("Help file %1 not found").arg(QDir::toNativeSeparators(HelpFile())));
    QCOMPARE(buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    QCOMPARE(icon, QMessageBox::Critical);
}

void AboutHelpTest::themeText_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("name"); // empty: not a theme

    QTest::newRow("named sheet") << QByteArray("/* ZYL theme: Night */\nQWidget { color: red; }\n")
                                 << QStringLiteral("Night");
    QTest::newRow("braces inside strings and comments")
        << QByteArray("/* ZYL theme: Q */\n/* } */ QLabel[text=\"{\"] { color: blue; }\n")
        << QStringLiteral("Q");
    QTest::newRow("no name line") << QByteArray("QWidget { color: red; }\n") << QString();
    QTest::newRow("empty name") << QByteArray("/* ZYL theme:  */\nQWidget { }\n") << QString();
    QTest::newRow("name comment not on the first line")
        << QByteArray("/* ZYL theme: Split\n */ QWidget { }\n") << QString();
    QTest::newRow("unclosed comment") << QByteArray("/* ZYL theme: A */\nQWidget { } /* open") << QString();
    QTest::newRow("unbalanced braces")
        << QByteArray("/* ZYL theme: A */\nQWidget { color: red;\n") << QString();
    QTest::newRow("closing brace first") << QByteArray("/* ZYL theme: A */\n} QWidget {\n") << QString();
    QTest::newRow("not UTF-8") << QByteArray("/* ZYL theme: A\xff */\nQWidget { }\n") << QString();
    QTest::newRow("empty file") << QByteArray() << QString();
}

void AboutHelpTest::themeText() {
    QFETCH(QByteArray, text);
    QFETCH(QString, name);
    const auto theme = Themes::ParseTheme(text);
    QCOMPARE(theme.has_value(), !name.isEmpty());
    if (theme)
        QCOMPARE(theme->Name, name);
}

void AboutHelpTest::builtInThemesExistAndMissingOneIsReported() {
    QVERIFY(Themes::ThemeExists(QStringLiteral("Cobalt XEMedia")));
    QVERIFY(Themes::ThemeExists(QStringLiteral("ZYL01")));
    QCOMPARE(Themes::ActiveStyleName(), QStringLiteral("ZYL01")); // chosen by the window
    QVERIFY(Themes::TrySetStyle(QStringLiteral("Cobalt XEMedia")));
    QCOMPARE(Themes::ActiveStyleName(), QStringLiteral("Cobalt XEMedia"));

    const QString before = qApp->styleSheet();
    QString text;
    QMessageBox::StandardButtons buttons;
    TScenarioRunner run(nullptr);
    run.OnMessageBox(QStringLiteral("style box"), [&](QMessageBox* box) {
        text = box->text();
        buttons = box->standardButtons();
        box->button(QMessageBox::Close)->click();
    });
    run.Start();
    QVERIFY(!Themes::SetStyleOrReport(QStringLiteral("Nowhere")));
    QVERIFY2(run.Done() && !run.Failed(), qPrintable(run.Failure()));
    QCOMPARE(text, QStringLiteral("Style 'Nowhere' not found"));
    QCOMPARE(buttons, QMessageBox::StandardButtons(QMessageBox::Close));
    QCOMPARE(qApp->styleSheet(), before); // the look stays
    QCOMPARE(Themes::ActiveStyleName(), QStringLiteral("Cobalt XEMedia"));
}

void AboutHelpTest::themeFileStandsInOnlyWithoutZYL01() {
    QFile file(ThemeFile());
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("/* ZYL theme: From File */\nTMainForm { background-color: #102030; }\n");
    file.close();

    // With the built-in theme present the file is not used.
    Themes::TrySetStyle(QStringLiteral("Cobalt XEMedia"));
    form = TMainFormProbe::IdleForm();
    QCOMPARE(Themes::ActiveStyleName(), QStringLiteral("ZYL01"));
    QVERIFY(!Themes::ThemeExists(QStringLiteral("From File")));

    // Without it, the file's theme is loaded and activated.
    Themes::UnregisterTheme(QStringLiteral("ZYL01"));
    Themes::TrySetStyle(QStringLiteral("Cobalt XEMedia"));
    form = TMainFormProbe::IdleForm();
    QCOMPARE(Themes::ActiveStyleName(), QStringLiteral("From File"));
    QVERIFY(qApp->styleSheet().contains(QStringLiteral("#102030")));

    // An invalid file is passed over silently: the look chosen at entry stays.
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write("TMainForm { background-color: #102030;\n");
    file.close();
    Themes::UnregisterTheme(QStringLiteral("From File"));
    Themes::TrySetStyle(QStringLiteral("Cobalt XEMedia"));
    form = TMainFormProbe::IdleForm();
    QCOMPARE(Themes::ActiveStyleName(), QStringLiteral("Cobalt XEMedia"));
    QVERIFY(QApplication::activeModalWidget() == nullptr);
}

QTEST_MAIN(AboutHelpTest)
#include "tst_about_help.moc"
