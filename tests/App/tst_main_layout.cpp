// The main window as laid out: every control's place, size and text, fonts, menu, tab order and the
// state the window starts in before any cable is found.
#include "MainFormProbe.h"
#include "Themes.h"
#include "WindowTestSupport.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QtTest>

namespace {

// How a control's rectangle is checked: exactly, or (captions that may be wider in a substitute
// font) by their right edge, top and height with at least the given width.
enum class Fit { Exact, RightAnchored };

} // namespace

Q_DECLARE_METATYPE(Fit)

class MainLayoutTest : public QObject {
    Q_OBJECT
  private:
    std::unique_ptr<TMainForm> form;

  private slots:
    // As at program entry: the controls are checked under the themes' style sheets.
    void initTestCase() {
        Themes::RegisterBuiltInThemes();
        QVERIFY(Themes::TrySetStyle(QStringLiteral("Cobalt XEMedia")));
    }
    void init() { form = TMainFormProbe::IdleForm(); }
    void cleanup() { form.reset(); }

    void controlsStandAtTheirPlaces_data();
    void controlsStandAtTheirPlaces();
    void windowIsFixedWithCloseBoxOnly();
    void fontsAreTahomaBoldExceptMenuBarAndCableLabel();
    void menuOffersExitHelpAndAbout();
    void picturesAreCentredAndStretched();
    void placeholdersAreReleased();
    void cableLabelEndsAt564WhateverItShows();
    void startsWithSettingsDisabledAndTextsEmpty();
    void editAndListsRestrictInput();
    void tabKeyCyclesThroughSettingsInOrder();
    void enableListHoldsTheNineSettingsControls();
};

void MainLayoutTest::controlsStandAtTheirPlaces_data() {
    QTest::addColumn<QString>("parentName");
    QTest::addColumn<QRect>("rect");
    QTest::addColumn<QString>("text");
    QTest::addColumn<Fit>("fit");

    const auto row = [](const char* name, const char* parent, QRect r, const char* text,
                        Fit fit = Fit::Exact) {
        QTest::newRow(name) << QString::fromLatin1(parent) << r << QString::fromLatin1(text) << fit;
    };
    // Regions of the window.
    row("Panel2", "MainForm", {0, 0, 576, 299}, "");
    row("Panel3", "MainForm", {0, 299, 576, 316}, "");
    row("Panel1", "MainForm", {0, 615, 576, 30}, "");
    // Top region.
    row("ActionMainMenuBar1", "Panel2", {0, 0, 576, 25}, "");
    row("Shape2", "Panel2", {0, 25, 576, 274}, "");
    row("Image2", "Panel2", {0, 25, 576, 274}, "");
    row("bDummyFocus", "Panel2", {-400, 232, 75, 25}, "");
    // Bottom region.
    row("Image1", "Panel1", {0, 0, 132, 30}, "");
    row("Shape1", "Panel1", {132, 0, 444, 30}, "");
    // Settings region.
    row("lConnection", "Panel3", {0, 0, 576, 19}, "");
    row("Label3", "Panel3", {7, 25, 141, 19}, "Firmware version", Fit::RightAnchored);
    row("leFirmware", "Panel3", {154, 22, 405, 27}, "");
    row("leDMXAdr", "Panel3", {113, 75, 87, 27}, "");
    row("bDecrement", "Panel3", {210, 65, 50, 45}, "-");
    row("bIncrement", "Panel3", {270, 65, 50, 45}, "+");
    row("Label1", "Panel3", {20, 121, 87, 19}, "DMX mode", Fit::RightAnchored);
    row("cbDMXMode", "Panel3", {113, 119, 446, 27}, "");
    row("Label2", "Panel3", {19, 161, 88, 19}, "Status LED", Fit::RightAnchored);
    row("cbStatusLed", "Panel3", {113, 159, 120, 27}, "");
    row("bSet", "Panel3", {16, 203, 544, 41}, "Set");
    row("bStoreDefault", "Panel3", {16, 256, 150, 41}, "Store as default");
    row("bSetDefault", "Panel3", {173, 256, 190, 41}, "Set default DMX-1");
    row("bSetDefaultDMX2", "Panel3", {370, 256, 190, 41}, "Set default DMX-2");
}

void MainLayoutTest::controlsStandAtTheirPlaces() {
    QFETCH(QString, parentName);
    QFETCH(QRect, rect);
    QFETCH(QString, text);
    QFETCH(Fit, fit);

    const QString name = QString::fromLatin1(QTest::currentDataTag());
    QWidget* w = Control(*form, name);
    QVERIFY2(w != nullptr, qPrintable(name));
    QVERIFY(w->parentWidget() != nullptr);
    QCOMPARE(w->parentWidget()->objectName(), parentName);
    if (fit == Fit::Exact) {
        QCOMPARE(w->geometry(), rect);
    } else {
        QCOMPARE(w->x() + w->width(), rect.x() + rect.width());
        QCOMPARE(w->y(), rect.y());
        QCOMPARE(w->height(), rect.height());
        QVERIFY(w->width() >= rect.width());
        QVERIFY(w->fontMetrics().horizontalAdvance(text) <= w->width());
    }
    const QVariant shown = w->property("text");
    if (shown.isValid())
        QCOMPARE(shown.toString(), text);
}

void MainLayoutTest::windowIsFixedWithCloseBoxOnly() {
    QCOMPARE(form->size(), QSize(576, 645));
    QCOMPARE(form->minimumSize(), QSize(576, 645));
    QCOMPARE(form->maximumSize(), QSize(576, 645));
    const Qt::WindowFlags flags = form->windowFlags();
    QVERIFY(flags.testFlag(Qt::CustomizeWindowHint));
    QVERIFY(flags.testFlag(Qt::WindowTitleHint));
    QVERIFY(flags.testFlag(Qt::WindowCloseButtonHint));
    QVERIFY(!flags.testFlag(Qt::WindowMinimizeButtonHint));
    QVERIFY(!flags.testFlag(Qt::WindowMaximizeButtonHint));
    QCOMPARE(form->windowTitle(), QStringLiteral("ZYL VEK RDM Tool"));
}

void MainLayoutTest::fontsAreTahomaBoldExceptMenuBarAndCableLabel() {
    const auto check = [](const QFont& f, const char* family, int pixels, bool bold) {
        QCOMPARE(f.family(), QString::fromLatin1(family));
        QCOMPARE(f.pixelSize(), pixels);
        QCOMPARE(f.bold(), bold);
    };
    check(form->font(), "Tahoma", 16, true);
    QCOMPARE(Themes::ActiveStyleName(), QStringLiteral("ZYL01")); // fonts hold under the style sheet
    for (const char* name :
         {"bSet", "leDMXAdr", "leDMXAdrLabel", "cbDMXMode", "Label1", "Label3", "lConnection"})
        check(Control(*form, QString::fromLatin1(name))->font(), "Tahoma", 16, true);
    check(Control(*form, QStringLiteral("lRDM"))->font(), "Tahoma", 11, true);
    check(Control(*form, QStringLiteral("ActionMainMenuBar1"))->font(), "Segoe UI", 12, false);
    // Drop-down menus take the window's font.
    for (QMenu* menu : Control<QMenuBar>(*form, QStringLiteral("ActionMainMenuBar1"))->findChildren<QMenu*>())
        check(menu->font(), "Tahoma", 16, true);
}

void MainLayoutTest::menuOffersExitHelpAndAbout() {
    auto* bar = Control<QMenuBar>(*form, QStringLiteral("ActionMainMenuBar1"));
    QVERIFY(!bar->isNativeMenuBar());
    const QList<QAction*> menus = bar->actions();
    QCOMPARE(menus.size(), 2);
    QCOMPARE(menus[0]->text(), QStringLiteral("&File"));
    QCOMPARE(menus[1]->text(), QStringLiteral("&Help"));

    struct Item {
        int menu;
        const char* action;
        const char* text;
        const char* caption;
    };
    const Item items[] = {
        {0, "aExit", "&Exit", "Exit"}, {1, "aHelp", "&Help", "Help"}, {1, "aAbout", "&About", "About"}};
    QList<QAction*> seen[2] = {menus[0]->menu()->actions(), menus[1]->menu()->actions()};
    QCOMPARE(seen[0].size(), 1);
    QCOMPARE(seen[1].size(), 2);
    int position[2] = {0, 0};
    for (const Item& item : items) {
        QAction* a = seen[item.menu][position[item.menu]++];
        QCOMPARE(a->objectName(), QString::fromLatin1(item.action));
        QCOMPARE(a->text(), QString::fromLatin1(item.text));
        QCOMPARE(a->iconText(), QString::fromLatin1(item.caption));
    }
}

void MainLayoutTest::picturesAreCentredAndStretched() {
    auto* picture = Control<QLabel>(*form, QStringLiteral("Image2"));
    QCOMPARE(picture->pixmap().size(), QSize(300, 310));
    QVERIFY(!picture->hasScaledContents());
    QCOMPARE(picture->alignment(), Qt::AlignCenter);
    auto* logo = Control<QLabel>(*form, QStringLiteral("Image1"));
    QCOMPARE(logo->pixmap().size(), QSize(199, 50));
    QVERIFY(logo->hasScaledContents());
}

void MainLayoutTest::placeholdersAreReleased() {
    for (const char* name : {"Panel4", "Panel5", "Panel6", "Panel7"})
        QVERIFY2(Control(*form, QString::fromLatin1(name)) == nullptr, name);
}

void MainLayoutTest::cableLabelEndsAt564WhateverItShows() {
    auto* cable = Control<QLabel>(*form, QStringLiteral("lRDM"));
    QCOMPARE(cable->y(), 9);
    QVERIFY(cable->alignment() & Qt::AlignRight);
    for (const char* text : {"FT232R USB UART VC000001", "No device", "USB-RS485 Cable FT9Z8Y7X"}) {
        cable->setText(QString::fromLatin1(text));
        QCOMPARE(cable->x() + cable->width(), 564);
        QVERIFY2(cable->fontMetrics().horizontalAdvance(cable->text()) <= cable->width(), text);
    }
}

void MainLayoutTest::startsWithSettingsDisabledAndTextsEmpty() {
    QVERIFY(Control(*form, QStringLiteral("lRDM"))->isHidden());
    QVERIFY(!Control(*form, QStringLiteral("lRDM"))->isEnabled()); // greyed once shown
    QVERIFY(!Control(*form, QStringLiteral("lConnection"))->isEnabled());
    QCOMPARE(Control<QLabel>(*form, QStringLiteral("lConnection"))->text(), QString());
    QCOMPARE(Control<QLabel>(*form, QStringLiteral("leFirmwareLabel"))->text(), QString());
    QCOMPARE(Control<QLabel>(*form, QStringLiteral("leDMXAdrLabel"))->text(), QStringLiteral("DMX Adr"));
    QCOMPARE(Control<QLineEdit>(*form, QStringLiteral("leDMXAdr"))->text(), QString());
    QCOMPARE(Control<QLineEdit>(*form, QStringLiteral("leFirmware"))->text(), QString());
    for (QWidget* w : TMainFormProbe(*form).EnableList())
        QVERIFY2(!w->isEnabled(), qPrintable(w->objectName()));
    QCOMPARE(form->State(), 0u);
    QCOMPARE(form->StateControl(), 0u);
    QVERIFY(form->Wrapper() == nullptr);
    QVERIFY(!form->Default().Valid);
}

void MainLayoutTest::editAndListsRestrictInput() {
    auto* address = Control<QLineEdit>(*form, QStringLiteral("leDMXAdr"));
    QCOMPARE(address->maxLength(), 3);
    QCOMPARE(address->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignRight);
    const QValidator* digits = address->validator();
    QVERIFY(digits != nullptr);
    for (const char* typed : {"12a", "-1", " 5", "1.5"}) {
        QString text = QString::fromLatin1(typed);
        int pos = 0;
        QCOMPARE(digits->validate(text, pos), QValidator::Invalid);
    }
    QString ok = QStringLiteral("512");
    int pos = 0;
    QCOMPARE(digits->validate(ok, pos), QValidator::Acceptable);

    auto* firmware = Control<QLineEdit>(*form, QStringLiteral("leFirmware"));
    QVERIFY(firmware->isReadOnly());
    QCOMPARE(firmware->focusPolicy(), Qt::NoFocus);

    auto* modes = Control<QComboBox>(*form, QStringLiteral("cbDMXMode"));
    QCOMPARE(modes->maxVisibleItems(), 12);
    QVERIFY(!modes->isEditable());
    QVERIFY(!Control<QComboBox>(*form, QStringLiteral("cbStatusLed"))->isEditable());
}

void MainLayoutTest::tabKeyCyclesThroughSettingsInOrder() {
    TMainFormProbe(*form).SetControlsEnabled(true, false);
    const QStringList expected = {QStringLiteral("bDummyFocus"), QStringLiteral("leDMXAdr"),
                                  QStringLiteral("cbDMXMode"),   QStringLiteral("cbStatusLed"),
                                  QStringLiteral("bDecrement"),  QStringLiteral("bIncrement"),
                                  QStringLiteral("bSet"),        QStringLiteral("bStoreDefault"),
                                  QStringLiteral("bSetDefault"), QStringLiteral("bSetDefaultDMX2")};
    QStringList seen;
    QWidget* w = Control(*form, QStringLiteral("bDummyFocus"));
    do {
        if (expected.contains(w->objectName()) && w->focusPolicy() & Qt::TabFocus)
            seen << w->objectName();
        w = w->nextInFocusChain();
    } while (w != Control(*form, QStringLiteral("bDummyFocus")));
    QCOMPARE(seen, expected);
}

void MainLayoutTest::enableListHoldsTheNineSettingsControls() {
    QStringList names;
    for (QWidget* w : TMainFormProbe(*form).EnableList())
        names << w->objectName();
    QCOMPARE(names,
             (QStringList{QStringLiteral("bIncrement"), QStringLiteral("bDecrement"), QStringLiteral("bSet"),
                          QStringLiteral("bStoreDefault"), QStringLiteral("bSetDefault"),
                          QStringLiteral("bSetDefaultDMX2"), QStringLiteral("leDMXAdr"),
                          QStringLiteral("cbDMXMode"), QStringLiteral("cbStatusLed")}));
}

QTEST_MAIN(MainLayoutTest)
#include "tst_main_layout.moc"
