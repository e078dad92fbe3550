// The connection bootstrap against the virtual cable: the missing-cable box with Retry and Cancel,
// the cable shown once opened, WM_USER with parameters, a cable that cannot be opened, closing while
// connected, and the error box of an exception while listing or one that leaves the fixture loop.
#include "FixtureLoopSupport.h"
#include "MainFormProbe.h"
#include "ScenarioRunner.h"
#include "VirtualCable.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

#include <cstring>
#include <new>

namespace {

// The box breaks the line where the text has its carriage return, on every system.
const QString kMissingCableText = QStringLiteral("Unable to locate ZYL USB/DMX cable\nPlease check that a "
                                                 "ZYL USB/DMX cable is connected and not in use by "
                                                 "another application");

constexpr int kScenarioTimeoutMs = 180000;

VC_CableConfig Cable(const char* description, const char* serial) {
    VC_CableConfig c{};
    VC_DefaultCable(&c);
    std::strncpy(c.description, description, sizeof c.description - 1);
    std::strncpy(c.serial, serial, sizeof c.serial - 1);
    return c;
}

// One cable with one VEK-340 behind it; returns the fixture id.
int OneCableWithFixture(const VC_CableConfig& cable) {
    VC_Clear();
    VC_SetFastTiming();
    const int index = VC_AddCable(&cable);
    VC_FixtureConfig fixture{};
    VC_DefaultFixture(&fixture);
    return VC_AddFixture(index, &fixture);
}

} // namespace

class BootstrapTest : public QObject {
    Q_OBJECT
  private:
    std::unique_ptr<TMainForm> form;

    bool Ready() const { return form->State() == StateConnected; }
    QString CableText() const { return Control<QLabel>(*form, "lRDM")->text(); }

    // Every settings control disabled, address and firmware empty, no cable shown.
    QString NotConnectedProblem() const {
        for (QWidget* w : TMainFormProbe(*form).EnableList())
            if (w->isEnabled())
                return w->objectName() + QStringLiteral(" is enabled");
        if (!Control<QLineEdit>(*form, "leDMXAdr")->text().isEmpty() ||
            !Control<QLineEdit>(*form, "leFirmware")->text().isEmpty())
            return QStringLiteral("address or firmware shown");
        if (!Control(*form, "lRDM")->isHidden())
            return QStringLiteral("cable label shown");
        return QString();
    }

  private slots:
    void init() { VC_Reset(); }
    void cleanup() {
        form.reset();
        QCOMPARE(VC_OpenHandleCount(), 0); // the wrapper closed its cable with the window
        VC_Reset();
    }

    void noCableAskRetryThenConnects();
    void noCableCancelLeavesSettingsDisabled();
    void cableShowsDescriptionAndSerial_data();
    void cableShowsDescriptionAndSerial();
    void wmUserWithParametersChangesNothing();
    void listedCableThatCannotBeOpenedIsRetried();
    void cableHeldByAnotherProgramIsRetriedAtASteadyPace();
    void cableGoneBetweenListingAndOpeningIsRebuilt();
    void exceptionWhileListingEndsInTheErrorBox();
    void closingWhileConnectedEndsWithoutNewBootstrap();
    void nextBootstrapWaitsForTheErrorBox();
};

void BootstrapTest::noCableAskRetryThenConnects() {
    VC_Clear();
    VC_SetFastTiming();
    form = std::make_unique<TMainForm>();
    form->show();
    TScenarioRunner run(form.get());
    run.OnMessageBox(QStringLiteral("missing-cable box"),
                     [&](QMessageBox* box) {
                         run.Expect(form->isVisible(), QStringLiteral("the window is shown before the box"));
                         run.Expect(box->text() == kMissingCableText,
                                    QStringLiteral("box text: ") + box->text());
                         run.Expect(box->icon() == QMessageBox::Critical, QStringLiteral("error kind"));
                         run.Expect(box->standardButtons() == (QMessageBox::Retry | QMessageBox::Cancel),
                                    QStringLiteral("Retry and Cancel"));
                         const QString problem = NotConnectedProblem();
                         run.Expect(problem.isEmpty(), problem);
                         OneCableWithFixture(Cable("FT232R USB UART", "VC000001"));
                         box->button(QMessageBox::Retry)->click();
                     })
        .Step(
            QStringLiteral("connected after Retry"), [&] { return Ready(); },
            [&] {
                run.Expect(CableText() == QStringLiteral("FT232R USB UART VC000001"), CableText());
                run.Expect(Control(*form, "bSet")->isEnabled(), QStringLiteral("settings enabled"));
                form->close();
            });
    ZYL_RUN_SCENARIO(run, kScenarioTimeoutMs);
}

void BootstrapTest::noCableCancelLeavesSettingsDisabled() {
    VC_Clear();
    form = std::make_unique<TMainForm>();
    TScenarioRunner run(form.get());
    QElapsedTimer sinceCancel;
    run.OnMessageBox(QStringLiteral("missing-cable box"),
                     [&](QMessageBox* box) {
                         box->button(QMessageBox::Cancel)->click();
                         sinceCancel.start();
                     })
        .Step(
            QStringLiteral("a while after Cancel"), [&] { return sinceCancel.elapsed() > 300; },
            [&] {
                run.Expect(TScenarioRunner::ActiveMessageBox() == nullptr, QStringLiteral("no new box"));
                const QString problem = NotConnectedProblem();
                run.Expect(problem.isEmpty(), problem);
                Control<QAction>(*form, "aExit")->trigger();
                run.Expect(!form->isVisible(), QStringLiteral("Exit closes at once"));
                run.Expect(form->StateControl() == ControlClosing, QStringLiteral("closing bit set"));
            });
    form->show();
    ZYL_RUN_SCENARIO(run, kScenarioTimeoutMs);
}

void BootstrapTest::cableShowsDescriptionAndSerial_data() {
    QTest::addColumn<QStringList>("cables"); // description|serial, in the driver's order
    QTest::addColumn<QString>("shown");

    QTest::newRow("default FT232R cable") << QStringList{QStringLiteral("FT232R USB UART|VC000001")}
                                          << QStringLiteral("FT232R USB UART VC000001");
    QTest::newRow("RS485 cable") << QStringList{QStringLiteral("USB-RS485 Cable|FT5A6B7C")}
                                 << QStringLiteral("USB-RS485 Cable FT5A6B7C");
    QTest::newRow("two cables: the first listed")
        << QStringList{QStringLiteral("FT232R USB UART|FTA00001"), QStringLiteral("FT232R USB UART|FTB00002")}
        << QStringLiteral("FT232R USB UART FTA00001");
}

void BootstrapTest::cableShowsDescriptionAndSerial() {
    QFETCH(QStringList, cables);
    QFETCH(QString, shown);

    VC_Clear();
    VC_SetFastTiming();
    for (const QString& c : cables) {
        const QByteArray description = c.section(u'|', 0, 0).toLatin1();
        const QByteArray serial = c.section(u'|', 1, 1).toLatin1();
        const VC_CableConfig cable = Cable(description.constData(), serial.constData());
        VC_FixtureConfig fixture{};
        VC_DefaultFixture(&fixture);
        VC_AddFixture(VC_AddCable(&cable), &fixture);
    }
    form = std::make_unique<TMainForm>();
    TScenarioRunner run(form.get());
    run.Step(
        QStringLiteral("cable shown"), [&] { return !Control(*form, "lRDM")->isHidden(); },
        [&] {
            run.Expect(CableText() == shown, CableText());
            run.Expect(form->Wrapper() != nullptr && form->Wrapper()->DMXStreamDisabled(),
                       QStringLiteral("background refresh off"));
            form->close();
        });
    form->show();
    ZYL_RUN_SCENARIO(run, kScenarioTimeoutMs);
}

// Posted while no bootstrap runs (the user cancelled the missing-cable box), a WM_USER with a
// parameter starts none; one with both parameters 0 does, which shows the window would react.
void BootstrapTest::wmUserWithParametersChangesNothing() {
    VC_Clear();
    form = std::make_unique<TMainForm>();
    TScenarioRunner run(form.get());
    const TFTD2XXWrapper* idle = nullptr;
    std::uint64_t scans = 0;
    QElapsedTimer sincePost;
    run.OnMessageBox(QStringLiteral("missing-cable box"),
                     [&](QMessageBox* box) {
                         box->button(QMessageBox::Cancel)->click();
                         idle = form->Wrapper();
                         scans = VC_CallCount("FT_CreateDeviceInfoList");
                         QCoreApplication::postEvent(form.get(), new TWMUserEvent(1, 0));
                         QCoreApplication::postEvent(form.get(), new TWMUserEvent(0, 1));
                         QCoreApplication::postEvent(form.get(), new TWMUserEvent(7, -3));
                         sincePost.start();
                     })
        .Step(
            QStringLiteral("a while after the posts"), [&] { return sincePost.elapsed() > 300; },
            [&] {
                run.Expect(TScenarioRunner::ActiveMessageBox() == nullptr, QStringLiteral("no new box"));
                run.Expect(form->Wrapper() == idle, QStringLiteral("same wrapper"));
                run.Expect(VC_CallCount("FT_CreateDeviceInfoList") == scans, QStringLiteral("no new scan"));
                QCoreApplication::postEvent(form.get(), new TWMUserEvent(0, 0));
            })
        .OnMessageBox(QStringLiteral("missing-cable box of WM_USER (0, 0)"), [&](QMessageBox* box) {
            run.Expect(VC_CallCount("FT_CreateDeviceInfoList") > scans, QStringLiteral("a new scan"));
            box->button(QMessageBox::Cancel)->click();
            form->close();
        });
    form->show();
    ZYL_RUN_SCENARIO(run, kScenarioTimeoutMs);
}

// A cable that is listed but cannot be opened is shown, the fixture loop finds the driver's status at
// its first attempt and the connection is built again, without a box, until the cable opens.
void BootstrapTest::listedCableThatCannotBeOpenedIsRetried() {
    OneCableWithFixture(Cable("FT232R USB UART", "VC000001"));
    VC_FailCall("FT_Open", 3, 3); // FT_DEVICE_NOT_OPENED, three times
    form = std::make_unique<TMainForm>();
    QStringList cableTexts;
    bool boxSeen = false;
    TPumpWatch watch([&] {
        boxSeen = boxSeen || TScenarioRunner::ActiveMessageBox() != nullptr;
        if (cableTexts.isEmpty() || cableTexts.back() != CableText())
            cableTexts << CableText();
    });
    TScenarioRunner run(form.get());
    int handlesWhileReady = -1;
    run.Step(
        QStringLiteral("connected at last"), [&] { return Ready(); },
        [&] {
            handlesWhileReady = VC_OpenHandleCount();
            form->close();
        });
    form->show();
    ZYL_RUN_SCENARIO(run, kScenarioTimeoutMs);

    QVERIFY(!boxSeen);
    QCOMPARE(Opens(), std::uint64_t{4});
    QCOMPARE(handlesWhileReady, 1);
    QVERIFY2(cableTexts.contains(QStringLiteral("No device")), qPrintable(cableTexts.join(u'|')));
    QCOMPARE(cableTexts.back(), QStringLiteral("FT232R USB UART VC000001"));
}

// Another program holds the cable: every open fails until it lets go. The tool tries again about
// once a second, not as fast as the machine goes, answers meanwhile, and gets the cable in the end.
void BootstrapTest::cableHeldByAnotherProgramIsRetriedAtASteadyPace() {
    OneCableWithFixture(Cable("FT232R USB UART", "VC000001"));
    VC_FailCall("FT_Open", 3, -1); // FT_DEVICE_NOT_OPENED until the holder lets go
    form = std::make_unique<TMainForm>();
    TScenarioRunner run(form.get());
    QElapsedTimer sinceShown;
    std::uint64_t opensInThreeSeconds = 0;
    run.Step(
           QStringLiteral("three seconds of a held cable"), [&] { return sinceShown.elapsed() >= 3000; },
           [&] {
               // The runner's own steps are the window's answers: they come from its event loop.
               opensInThreeSeconds = Opens();
               run.Expect(CableText() == QStringLiteral("No device"), CableText());
               run.Expect(TScenarioRunner::ActiveMessageBox() == nullptr, QStringLiteral("no box"));
               VC_FailCall("FT_Open", 0, 0);
           })
        .Step(
            QStringLiteral("connected once the holder let go"), [&] { return Ready(); },
            [&] { form->close(); });
    sinceShown.start();
    form->show();
    ZYL_RUN_SCENARIO(run, kScenarioTimeoutMs);

    // At the start, then about once a second: four in three seconds, five with a timer a bit early.
    QVERIFY2(opensInThreeSeconds >= 1 && opensInThreeSeconds <= 5,
             qPrintable(QString::number(opensInThreeSeconds)));
    QCOMPARE(CableText(), QStringLiteral("FT232R USB UART VC000001"));
}

// The cable is pulled out after the bootstrap has listed it and before it opens it. That is a cable
// failure like any other: the connection is built again, and once the cable is back it is used.
void BootstrapTest::cableGoneBetweenListingAndOpeningIsRebuilt() {
    OneCableWithFixture(Cable("FT232R USB UART", "VC000001"));
    // The bootstrap lists once and the opening lists again: the cable is gone by the second.
    VC_UnplugBeforeCall(0, "FT_CreateDeviceInfoList", 2);
    form = std::make_unique<TMainForm>();
    TScenarioRunner run(form.get());
    run.Step(
           QStringLiteral("no device after the failed open"),
           [&] { return CableText() == QStringLiteral("No device"); },
           [&] {
               run.Expect(Opens() == 0, QStringLiteral("nothing to open"));
               VC_SetCablePlugged(0, 1);
           })
        .Step(
            QStringLiteral("ready with the cable back"), [&] { return Ready(); }, [&] { form->close(); });
    form->show();
    ZYL_RUN_SCENARIO(run, kScenarioTimeoutMs);
    QCOMPARE(CableText(), QStringLiteral("FT232R USB UART VC000001"));
}

// An exception while the cable is being listed (here: the driver claims more devices than memory
// holds) ends in the error box with its message; the window stays usable and idle, no cable open.
void BootstrapTest::exceptionWhileListingEndsInTheErrorBox() {
    if (ZYL_UNDER_ADDRESS_SANITIZER)
        QSKIP("AddressSanitizer ends the process on an allocation this large instead of throwing");
    OneCableWithFixture(Cable("FT232R USB UART", "VC000001"));
    VC_SetReportedDeviceCount(0xFFFFFFFFll);
    form = std::make_unique<TMainForm>();
    TScenarioRunner run(form.get());
    QString boxText;
    std::uint64_t scans = 0;
    QElapsedTimer sinceBox;
    run.OnMessageBox(QStringLiteral("error box"),
                     [&](QMessageBox* box) {
                         boxText = box->text();
                         run.Expect(box->icon() == QMessageBox::Critical, QStringLiteral("error kind"));
                         run.Expect(box->standardButtons() == QMessageBox::Ok, QStringLiteral("OK only"));
                         box->button(QMessageBox::Ok)->click();
                         scans = VC_CallCount("FT_CreateDeviceInfoList");
                         sinceBox.start();
                     })
        .Step(
            QStringLiteral("a while after OK"), [&] { return sinceBox.elapsed() > 300; },
            [&] {
                run.Expect(TScenarioRunner::ActiveMessageBox() == nullptr, QStringLiteral("no new box"));
                run.Expect(VC_CallCount("FT_CreateDeviceInfoList") == scans,
                           QStringLiteral("no new bootstrap"));
                run.Expect(VC_OpenHandleCount() == 0, QStringLiteral("no cable open"));
                run.Expect(form->isVisible() && form->StateControl() == 0,
                           QStringLiteral("window still there"));
                Control<QAction>(*form, "aExit")->trigger();
                run.Expect(!form->isVisible(), QStringLiteral("Exit closes at once"));
            });
    form->show();
    ZYL_RUN_SCENARIO(run, kScenarioTimeoutMs);
    QCOMPARE(boxText, QString::fromLatin1(std::bad_alloc().what())); // the exception's own message
}

void BootstrapTest::closingWhileConnectedEndsWithoutNewBootstrap() {
    OneCableWithFixture(Cable("FT232R USB UART", "VC000001"));
    form = std::make_unique<TMainForm>();
    TScenarioRunner run(form.get());
    const TFTD2XXWrapper* connected = nullptr;
    std::uint64_t opens = 0;
    run.Step(
        QStringLiteral("connected"), [&] { return Ready(); },
        [&] {
            connected = form->Wrapper();
            opens = Opens();
            form->close();
        });
    form->show();
    ZYL_RUN_SCENARIO(run, kScenarioTimeoutMs);

    // The loop has ended and returned; nothing starts again, not even a WM_USER posted now.
    QCOMPARE(form->StateControl() & ControlClosing, ControlClosing);
    TMainFormProbe(*form).PostWMUser();
    QTest::qWait(300);
    QVERIFY(form->Fixture() == nullptr);
    QCOMPARE(form->Wrapper(), connected); // released only with the window
    QCOMPARE(Opens(), opens);
    QCOMPARE(VC_OpenHandleCount(), 1);
}

void BootstrapTest::nextBootstrapWaitsForTheErrorBox() {
    // An ACK_TIMER reply is a programming-level failure of the reply check; it leaves the fixture
    // loop, whose exit posts the next bootstrap, and the bootstrap shows its message.
    const int fixture = OneCableWithFixture(Cable("FT232R USB UART", "VC000001"));
    VC_InjectFault(fixture, VC_FAULT_ACK_TIMER, 0x20, 0x0060, 1);
    form = std::make_unique<TMainForm>();
    TScenarioRunner run(form.get());
    std::uint64_t opensAtBox = 0;
    QElapsedTimer sinceBox;
    run.OnMessageBox(QStringLiteral("error box"),
                     [&](QMessageBox* box) {
                         run.Expect(box->text().contains(QStringLiteral("ACK_TIMER"), Qt::CaseInsensitive),
                                    QStringLiteral("message of the exception: ") + box->text());
                         opensAtBox = Opens();
                         sinceBox.start();
                     })
        .Step(
            QStringLiteral("box still open a while later"), [&] { return sinceBox.elapsed() > 300; },
            [&] {
                QMessageBox* box = TScenarioRunner::ActiveMessageBox();
                run.Expect(box != nullptr && box->icon() == QMessageBox::Critical,
                           QStringLiteral("error box"));
                run.Expect(box != nullptr && box->standardButtons() == QMessageBox::Ok,
                           QStringLiteral("OK only"));
                run.Expect(Opens() == opensAtBox, QStringLiteral("no bootstrap while the box is open"));
                if (box != nullptr)
                    box->button(QMessageBox::Ok)->click();
            })
        .Step(
            QStringLiteral("reconnected after OK"), [&] { return Opens() > opensAtBox && Ready(); },
            [&] { form->close(); });
    form->show();
    ZYL_RUN_SCENARIO(run, kScenarioTimeoutMs);
}

QTEST_MAIN(BootstrapTest)
#include "tst_bootstrap.moc"
