// The fixture loop against the virtual cable: discovering and reading a fixture, what the window then
// shows and what went over the line, fixtures that lack optional parameters, no fixture at all, read
// errors, a fixture that falls silent, a cable that is pulled, an unsupported reply, and closing.
#include "FixtureLoopSupport.h"
#include "MainFormProbe.h"
#include "ScenarioRunner.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <QtTest>

#include <memory>

namespace {

constexpr int kScenarioTimeoutMs = 180000;

const QString kModelWarning = QStringLiteral(
    "The connected device does not appear to be a VEK-340.\nApplication may not perform as intended.");

} // namespace

class FixtureLoopReadTest : public QObject {
    Q_OBJECT
  private:
    std::unique_ptr<TMainForm> form;

    // The settings controls that are enabled, by name.
    QStringList EnabledSettings() const {
        QStringList names;
        for (QWidget* w : TMainFormProbe(*form).EnableList())
            if (w->isEnabled())
                names << w->objectName();
        names.sort();
        return names;
    }
    bool Polled(int times) const { return ::Polled(*form, times); }

    void RunToEnd(TScenarioRunner& run) {
        run.Start();
        QTRY_VERIFY_WITH_TIMEOUT(run.Done(), kScenarioTimeoutMs);
        // The loop has ended and the bootstrap has returned once the wait above is over.
    }

  private slots:
    void init() {
        VC_Reset();
        form = std::make_unique<TMainForm>();
        form->show();
    }
    void cleanup() {
        form.reset();
        QCOMPARE(VC_OpenHandleCount(), 0);
        VC_Reset();
    }

    void vek340IsReadAndShown();
    void fixtureVariants_data();
    void fixtureVariants();
    void noFixtureCyclesDiscovery();
    void readErrors_data();
    void readErrors();
    void repliesWithTooLittleData_data();
    void repliesWithTooLittleData();
    void silentFixtureGoesBackToDiscovery();
    void pulledCableRebuildsConnection();
    void ackTimerReachesBootstrapErrorBox();
    void closingEndsLoopAfterCurrentPass_data();
    void closingEndsLoopAfterCurrentPass();
};

void FixtureLoopReadTest::vek340IsReadAndShown() {
    const VC_FixtureConfig config = Vek340();
    LineWith(&config);
    TTextTrail connection;
    TPumpWatch watch([&] { connection.Look(ConnectionText(*form)); });

    TScenarioRunner run(form.get());
    QString shownConnection, shownAddress, shownFirmware;
    QStringList modes, leds, enabled;
    int mode = -2, led = -2;
    run.Step(
        QStringLiteral("polling"), [&] { return Polled(3); },
        [&] {
            shownConnection = ConnectionText(*form);
            shownAddress = EditText(*form, "leDMXAdr");
            shownFirmware = EditText(*form, "leFirmware");
            modes = ComboItems(*form, "cbDMXMode");
            mode = ComboIndex(*form, "cbDMXMode");
            leds = ComboItems(*form, "cbStatusLed");
            led = ComboIndex(*form, "cbStatusLed");
            enabled = EnabledSettings();
            const TRDMFixture* f = form->Fixture();
            run.Expect(f && f->DeviceModelID == 103 && f->DMX512StartAdr == 37 &&
                           f->DMX512PersonalityCurrent == 2 && f->DMX512PersonalityTotal == 3 &&
                           f->SoftwareVersionId.Major == 0x02 && f->SoftwareVersionId.Minor == 0x0E &&
                           f->fPersonalityDescriptionList.size() == 3 &&
                           f->fPersonalityDescriptionList[1]->DMX512SlotsRequired == 32,
                       QStringLiteral("fixture record"));
            form->close();
        });
    RunToEnd(run);
    QVERIFY2(!run.Failed(), qPrintable(run.Failure()));

    QCOMPARE(shownConnection, QStringLiteral("VEK-340 - Ready"));
    QCOMPARE(connection.Texts().mid(0, 5),
             (QStringList{QStringLiteral("Discovery."), QStringLiteral("Connected"),
                          QStringLiteral("Connected VEK-340"), QStringLiteral("VEK-340 - Retrieving info"),
                          QStringLiteral("VEK-340 - Ready")}));
    QCOMPARE(shownAddress, QStringLiteral("37"));
    QCOMPARE(shownFirmware, QStringLiteral("VEK-340 v2.14"));
    QCOMPARE(modes, (QStringList{QStringLiteral("1. Standard  (24 channels)"),
                                 QStringLiteral("2. Extended  (32 channels)"),
                                 QStringLiteral("3. Compact  (8 channels)")}));
    QCOMPARE(mode, 1);
    QCOMPARE(leds, (QStringList{QStringLiteral("On"), QStringLiteral("Off")}));
    QCOMPARE(led, 1);
    // No default is stored yet, so the two recall buttons stay disabled.
    QCOMPARE(enabled,
             (QStringList{QStringLiteral("bDecrement"), QStringLiteral("bIncrement"), QStringLiteral("bSet"),
                          QStringLiteral("bStoreDefault"), QStringLiteral("cbDMXMode"),
                          QStringLiteral("cbStatusLed"), QStringLiteral("leDMXAdr")}));

    // The fixture's answer is confirmed: muted, and the line asked again, where nobody answers now.
    const std::vector<TBytes> expected{req::UnMuteAll,
                                       req::UniqueBranchAll,
                                       req::MuteFixture,
                                       req::UniqueBranchAll,
                                       req::GetDeviceInfo,
                                       req::GetSupportedParameters,
                                       req::GetDeviceModelDescription,
                                       req::GetSoftwareVersionLabel,
                                       req::GetDmxPersonality,
                                       req::GetPersonalityDescription1,
                                       req::GetPersonalityDescription2,
                                       req::GetPersonalityDescription3,
                                       req::GetStatusLed};
    const auto packets = ControllerPackets();
    QVERIFY(packets.size() > expected.size() + 2);
    for (std::size_t i = 0; i < expected.size(); ++i)
        QVERIFY2(packets[i].Bytes == expected[i],
                 qPrintable(
                     QStringLiteral("packet %1: %2").arg(i).arg(PacketNames({packets[i]}).join(QString()))));
    // The loop lets the fixture settle for 100 ms after it answered discovery.
    QVERIFY2(packets[4].TimeMs - packets[3].TimeMs >= 100.0, qPrintable(QString::number(packets[4].TimeMs)));
    // Then only polls: no DMX frames and nothing else while connected.
    for (std::size_t i = expected.size(); i < packets.size(); ++i)
        QVERIFY2(packets[i].Bytes == req::Poll, qPrintable(QStringLiteral("packet %1 is not a poll").arg(i)));
}

void FixtureLoopReadTest::fixtureVariants_data() {
    QTest::addColumn<bool>("modelDescription");
    QTest::addColumn<bool>("statusLed");
    QTest::addColumn<int>("personalities");
    QTest::addColumn<int>("current");
    QTest::addColumn<int>("modelId");
    QTest::addColumn<QStringList>("connectionTexts");
    QTest::addColumn<int>("modeItems");
    QTest::addColumn<int>("modeSelected");
    QTest::addColumn<QStringList>("ledItems");
    QTest::addColumn<bool>("warning");
    QTest::addColumn<QStringList>("reading");

    const QStringList onOff{QStringLiteral("On"), QStringLiteral("Off")};
    const QStringList fullReading{"GET 0x0060", "GET 0x0050", "GET 0x0080", "GET 0x00c0", "GET 0x00e0",
                                  "GET 0x00e1", "GET 0x00e1", "GET 0x00e1", "GET 0x0501"};
    QStringList noModel = fullReading;
    noModel.removeAll(QStringLiteral("GET 0x0080"));
    QStringList noLed = fullReading;
    noLed.removeAll(QStringLiteral("GET 0x0501"));
    QStringList noPersonalities = fullReading;
    noPersonalities.removeAll(QStringLiteral("GET 0x00e1"));

    QTest::newRow("without DEVICE_MODEL_DESCRIPTION")
        << false << true << 3 << 2 << 103 << QStringList{"Connected ", " - Retrieving info", " - Ready"} << 3
        << 1 << onOff << false << noModel;
    QTest::newRow("without the status LED")
        << true << false << 3 << 2 << 103
        << QStringList{"Connected VEK-340", "VEK-340 - Retrieving info", "VEK-340 - Ready"} << 3 << 1
        << QStringList{} << false << noLed;
    QTest::newRow("with 0 personalities")
        << true << true << 0 << 0 << 103
        << QStringList{"Connected VEK-340", "VEK-340 - Retrieving info", "VEK-340 - Ready"} << 0 << -1
        << onOff << false << noPersonalities;
    // A list that fills up selects its first item by itself; only the current personality may be selected.
    QTest::newRow("current personality outside the list")
        << true << true << 3 << 5 << 103
        << QStringList{"Connected VEK-340", "VEK-340 - Retrieving info", "VEK-340 - Ready"} << 3 << -1
        << onOff << false << fullReading;
    QTest::newRow("another model ID")
        << true << true << 3 << 2 << 0x0068
        << QStringList{"Connected VEK-340", "VEK-340 - Retrieving info", "VEK-340 - Ready"} << 3 << 1 << onOff
        << true << fullReading;
}

void FixtureLoopReadTest::fixtureVariants() {
    QFETCH(bool, modelDescription);
    QFETCH(bool, statusLed);
    QFETCH(int, personalities);
    QFETCH(int, current);
    QFETCH(int, modelId);
    QFETCH(QStringList, connectionTexts);
    QFETCH(int, modeItems);
    QFETCH(int, modeSelected);
    QFETCH(QStringList, ledItems);
    QFETCH(bool, warning);
    QFETCH(QStringList, reading);

    VC_FixtureConfig config = Vek340();
    config.supports_model_description = modelDescription ? 1 : 0;
    config.supports_status_led = statusLed ? 1 : 0;
    config.personality_count = static_cast<std::uint8_t>(personalities);
    config.current_personality = static_cast<std::uint8_t>(current);
    config.model_id = static_cast<std::uint16_t>(modelId);
    LineWith(&config);

    TTextTrail connection;
    TPumpWatch watch([&] { connection.Look(ConnectionText(*form)); });
    TScenarioRunner run(form.get());
    int boxes = 0;
    int pollsAtBox = -1;
    if (warning) {
        run.OnMessageBox(QStringLiteral("model warning"), [&](QMessageBox* box) {
            ++boxes;
            run.Expect(box->text() == kModelWarning, QStringLiteral("warning text: ") + box->text());
            run.Expect(box->icon() == QMessageBox::Warning, QStringLiteral("warning kind"));
            run.Expect(form->State() == StateConnected, QStringLiteral("state 20 while the warning is open"));
            run.Expect(box->findChildren<QPushButton*>().size() == 1, QStringLiteral("one button"));
            pollsAtBox = CountPackets(req::Poll);
            box->button(QMessageBox::Ok)->click();
        });
    }
    QStringList modes, leds;
    int mode = -2;
    bool settingsEnabled = false;
    run.Step(
        QStringLiteral("polling"), [&] { return Polled(3); },
        [&] {
            modes = ComboItems(*form, "cbDMXMode");
            mode = ComboIndex(*form, "cbDMXMode");
            leds = ComboItems(*form, "cbStatusLed");
            settingsEnabled = Control(*form, "bSet")->isEnabled();
            form->close();
        });
    RunToEnd(run);
    QVERIFY2(!run.Failed(), qPrintable(run.Failure()));

    QCOMPARE(connection.Texts().mid(2, 3), connectionTexts);
    QCOMPARE(modes.size(), modeItems);
    QCOMPARE(mode, modeSelected);
    QCOMPARE(leds, ledItems);
    QVERIFY(settingsEnabled);
    if (warning) {
        QCOMPARE(boxes, 1);
        QCOMPARE(pollsAtBox, 0); // the box comes before polling, which goes on after it
    }
    QStringList names = FromTheFirstRequest(PacketNames(ControllerPackets()));
    names.removeAll(QStringLiteral("DISC 0x0003"));
    const QString problem = ConversationProblem(
        names, QStringList{"DISC 0x0003 *", "DISC 0x0001 *", "DISC 0x0002", "DISC 0x0001 *"} + reading);
    QVERIFY2(problem.isEmpty(), qPrintable(problem));
}

void FixtureLoopReadTest::noFixtureCyclesDiscovery() {
    LineWith(nullptr);
    TTextTrail connection;
    TPumpWatch watch([&] { connection.Look(ConnectionText(*form)); });
    TScenarioRunner run(form.get());
    QStringList enabled;
    QString address = QStringLiteral("?"), firmware = QStringLiteral("?");
    int modes = -1;
    run.Step(
        QStringLiteral("five attempts"), [&] { return connection.Texts().size() >= 5; },
        [&] {
            enabled = EnabledSettings();
            address = EditText(*form, "leDMXAdr");
            firmware = EditText(*form, "leFirmware");
            modes = ComboItems(*form, "cbDMXMode").size() + ComboItems(*form, "cbStatusLed").size();
            form->close();
        });
    RunToEnd(run);
    QVERIFY2(!run.Failed(), qPrintable(run.Failure()));

    QCOMPARE(connection.Texts().mid(0, 5),
             (QStringList{"Discovery.", "Discovery..", "Discovery...", "Discovery....", "Discovery."}));
    QVERIFY(enabled.isEmpty());
    QVERIFY(address.isEmpty());
    QVERIFY(firmware.isEmpty());
    QCOMPARE(modes, 0);

    // Every attempt: un-mute all, one branch over the whole range, then six idle frames 50 ms apart.
    const auto packets = ControllerPackets();
    QVERIFY(packets.size() >= 4 * 8);
    for (std::size_t attempt = 0; attempt < 4; ++attempt) {
        const std::size_t at = attempt * 8;
        QVERIFY(packets[at].Bytes == req::UnMuteAll);
        QVERIFY(packets[at + 1].Bytes == req::UniqueBranchAll);
        // 40 ms after the broadcast; then a reply window of 100 ms (far less than a second however
        // busy the machine) before the idle frames.
        QVERIFY(packets[at + 1].TimeMs - packets[at].TimeMs >= 40.0);
        const double window = packets[at + 2].TimeMs - packets[at + 1].TimeMs;
        QVERIFY2(window >= 100.0 && window < 600.0, qPrintable(QString::number(window)));
        for (std::size_t frame = 0; frame < 6; ++frame) {
            QVERIFY2(IsIdleFrame(packets[at + 2 + frame].Bytes), qPrintable(QString::number(at + 2 + frame)));
            // Driven onto the line, not written while it still listens for a discovery reply.
            QCOMPARE(packets[at + 2 + frame].Flags, std::uint32_t{0});
            if (frame > 0) // the sleep after each frame makes the gap at least 50 ms
                QVERIFY(packets[at + 2 + frame].TimeMs - packets[at + 1 + frame].TimeMs >= 45.0);
        }
    }
}

void FixtureLoopReadTest::readErrors_data() {
    QTest::addColumn<int>("fault");
    QTest::addColumn<int>("pid");
    QTest::addColumn<int>("count");
    QTest::addColumn<QStringList>("conversation");

    const QStringList discovery{"DISC 0x0003 *", "DISC 0x0001 *", "DISC 0x0002", "DISC 0x0001 *"};
    const QStringList head{"GET 0x0060", "GET 0x0050", "GET 0x0080", "GET 0x00c0", "GET 0x00e0"};
    const QStringList tail{"GET 0x00e1", "GET 0x00e1", "GET 0x00e1", "GET 0x0501"};
    const QStringList deviceInfo{"GET 0x0060"};

    // Three failed readings in a row are repeated at once; the fourth reading succeeds.
    QTest::newRow("three checksum errors: reading repeated")
        << int(VC_FAULT_WRONG_CHECKSUM) << 0x0060 << 3
        << discovery + deviceInfo + deviceInfo + deviceInfo + head + tail;
    // A fourth failure in a row gives up and discovers again.
    QTest::newRow("four wrong-PID replies: back to discovery")
        << int(VC_FAULT_WRONG_PID) << 0x0060 << 4
        << discovery + deviceInfo + deviceInfo + deviceInfo + deviceInfo + discovery + head + tail;
    // Each discovery attempt starts the count afresh: a fifth failure is the first of the new count.
    QTest::newRow("five wrong-PID replies: the count starts again at discovery")
        << int(VC_FAULT_WRONG_PID) << 0x0060 << 5
        << discovery + deviceInfo + deviceInfo + deviceInfo + deviceInfo + discovery + deviceInfo + head +
               tail;
    // A failure late in the sequence starts it again from DEVICE_INFO, and the personality list is
    // read anew rather than appended to.
    QTest::newRow("a NACK for a personality description")
        << int(VC_FAULT_NACK) << 0x00E1 << 1 << discovery + head + QStringList{"GET 0x00e1"} + head + tail;
}

void FixtureLoopReadTest::readErrors() {
    QFETCH(int, fault);
    QFETCH(int, pid);
    QFETCH(int, count);
    QFETCH(QStringList, conversation);

    const VC_FixtureConfig config = Vek340();
    const int id = LineWith(&config);
    VC_InjectFault(id, fault, 0x20, pid, count);
    TScenarioRunner run(form.get());
    bool boxSeen = false;
    TPumpWatch watch([&] { boxSeen = boxSeen || TScenarioRunner::ActiveMessageBox() != nullptr; });
    QStringList modes;
    std::size_t personalities = 0, supported = 0;
    run.Step(
        QStringLiteral("polling"), [&] { return Polled(1); },
        [&] {
            modes = ComboItems(*form, "cbDMXMode");
            personalities = form->Fixture()->fPersonalityDescriptionList.size();
            supported = form->Fixture()->fSupportedParameterList.size();
            form->close();
        });
    RunToEnd(run);
    QVERIFY2(!run.Failed(), qPrintable(run.Failure()));

    QVERIFY(!boxSeen);
    QStringList names = FromTheFirstRequest(PacketNames(ControllerPackets()));
    names.removeAll(QStringLiteral("DISC 0x0003"));
    const QString problem = ConversationProblem(names, conversation);
    QVERIFY2(problem.isEmpty(), qPrintable(problem));
    QCOMPARE(modes.size(), 3);
    QCOMPARE(personalities, std::size_t{3});
    QCOMPARE(supported, std::size_t{4}); // each of the four PIDs the fixture lists, once
}

void FixtureLoopReadTest::repliesWithTooLittleData_data() {
    QTest::addColumn<int>("pid");
    QTest::addColumn<TBytes>("reply");
    QTest::addColumn<QStringList>("conversation");

    const QStringList discovery{"DISC 0x0003 *", "DISC 0x0001 *", "DISC 0x0002", "DISC 0x0001 *"};
    const QStringList head{"GET 0x0060", "GET 0x0050", "GET 0x0080", "GET 0x00c0", "GET 0x00e0"};
    const QStringList tail{"GET 0x00e1", "GET 0x00e1", "GET 0x00e1", "GET 0x0501"};

    // ACKs from 5A59:0000002A to the controller, checksums correct. Each is a failed reading: the
    // sequence starts again and the window ends with the fixture's true values, never with zeros
    // read from behind the received bytes.
    // clang-format off
    //                                    ...header...                                      CC    PID         PDL   data
    QTest::newRow("DEVICE_INFO whose PDL claims 19 bytes, 10 arrived") << 0x0060 << TBytes{
        0xCC, 0x01, 0x22, 0x5A, 0x59, 0x00, 0x00, 0x00, 0x01, 0x5A, 0x59, 0x00, 0x00, 0x00, 0x2A, 0x00, 0x00, 0x00, 0x00, 0x00,
                                                                                        0x21, 0x00, 0x60, 0x13,
        0x01, 0x00, 0x00, 0x67, 0x01, 0x01, 0x02, 0x0E, 0x00, 0x00, 0x03, 0x8E}
        << discovery + QStringList{"GET 0x0060"} + head + tail;
    QTest::newRow("DEVICE_INFO of 10 bytes") << 0x0060 << TBytes{
        0xCC, 0x01, 0x22, 0x5A, 0x59, 0x00, 0x00, 0x00, 0x01, 0x5A, 0x59, 0x00, 0x00, 0x00, 0x2A, 0x00, 0x00, 0x00, 0x00, 0x00,
                                                                                        0x21, 0x00, 0x60, 0x0A,
        0x01, 0x00, 0x00, 0x67, 0x01, 0x01, 0x02, 0x0E, 0x00, 0x00, 0x03, 0x85}
        << discovery + QStringList{"GET 0x0060"} + head + tail;
    QTest::newRow("SUPPORTED_PARAMETERS whose PDL claims 8 bytes, 2 arrived") << 0x0050 << TBytes{
        0xCC, 0x01, 0x1A, 0x5A, 0x59, 0x00, 0x00, 0x00, 0x01, 0x5A, 0x59, 0x00, 0x00, 0x00, 0x2A, 0x00, 0x00, 0x00, 0x00, 0x00,
                                                                                        0x21, 0x00, 0x50, 0x08,
        0x00, 0x80, 0x03, 0x71}
        << discovery + QStringList{"GET 0x0060", "GET 0x0050"} + head + tail;
    QTest::newRow("DMX_PERSONALITY of 1 byte") << 0x00E0 << TBytes{
        0xCC, 0x01, 0x19, 0x5A, 0x59, 0x00, 0x00, 0x00, 0x01, 0x5A, 0x59, 0x00, 0x00, 0x00, 0x2A, 0x00, 0x00, 0x00, 0x00, 0x00,
                                                                                        0x21, 0x00, 0xE0, 0x01,
        0x02, 0x03, 0x7B}
        << discovery + head + head + tail;
    QTest::newRow("personality description with PDL 2") << 0x00E1 << TBytes{
        0xCC, 0x01, 0x1A, 0x5A, 0x59, 0x00, 0x00, 0x00, 0x01, 0x5A, 0x59, 0x00, 0x00, 0x00, 0x2A, 0x00, 0x00, 0x00, 0x00, 0x00,
                                                                                        0x21, 0x00, 0xE1, 0x02,
        0x01, 0x00, 0x03, 0x7D}
        << discovery + head + QStringList{"GET 0x00e1"} + head + tail;
    QTest::newRow("status LED with PDL 0") << 0x0501 << TBytes{
        0xCC, 0x01, 0x18, 0x5A, 0x59, 0x00, 0x00, 0x00, 0x01, 0x5A, 0x59, 0x00, 0x00, 0x00, 0x2A, 0x00, 0x00, 0x00, 0x00, 0x00,
                                                                                        0x21, 0x05, 0x01, 0x00,
        0x02, 0x9D}
        << discovery + head + tail + head + tail;
    // clang-format on
}

void FixtureLoopReadTest::repliesWithTooLittleData() {
    QFETCH(int, pid);
    QFETCH(TBytes, reply);
    QFETCH(QStringList, conversation);

    const VC_FixtureConfig config = Vek340();
    const int id = LineWith(&config);
    VC_SetRawReply(id, reply.data(), static_cast<int>(reply.size()), 0x20, pid, 1);
    TScenarioRunner run(form.get());
    bool boxSeen = false;
    TPumpWatch watch([&] { boxSeen = boxSeen || TScenarioRunner::ActiveMessageBox() != nullptr; });
    QString address, connection;
    int mode = -2, led = -2;
    run.Step(
        QStringLiteral("polling"), [&] { return Polled(1); },
        [&] {
            address = EditText(*form, "leDMXAdr");
            connection = ConnectionText(*form);
            mode = ComboIndex(*form, "cbDMXMode");
            led = ComboIndex(*form, "cbStatusLed");
            form->close();
        });
    RunToEnd(run);
    QVERIFY2(!run.Failed(), qPrintable(run.Failure()));

    QVERIFY(!boxSeen);
    QStringList names = FromTheFirstRequest(PacketNames(ControllerPackets()));
    names.removeAll(QStringLiteral("DISC 0x0003"));
    const QString problem = ConversationProblem(names, conversation);
    QVERIFY2(problem.isEmpty(), qPrintable(problem));
    QCOMPARE(address, QStringLiteral("37"));
    QCOMPARE(connection, QStringLiteral("VEK-340 - Ready"));
    QCOMPARE(mode, 1);
    QCOMPARE(led, 1);
}

void FixtureLoopReadTest::silentFixtureGoesBackToDiscovery() {
    const VC_FixtureConfig config = Vek340();
    const int id = LineWith(&config);
    TScenarioRunner run(form.get());
    bool boxSeen = false;
    TPumpWatch watch([&] { boxSeen = boxSeen || TScenarioRunner::ActiveMessageBox() != nullptr; });
    QElapsedTimer sinceSilent;
    qint64 untilDiscovery = -1;
    QString discoveryText;
    QString addressAtDiscovery = QStringLiteral("?"), firmwareAtDiscovery = QStringLiteral("?");
    QStringList listsAtDiscovery{QStringLiteral("?")};
    run.Step(
           QStringLiteral("polling"), [&] { return Polled(2); },
           [&] {
               VC_SetFixtureSilent(id, 1);
               sinceSilent.start();
           })
        .Step(
            QStringLiteral("back to discovery"), [&] { return form->State() == StateDiscovery; },
            [&] { untilDiscovery = sinceSilent.elapsed(); })
        .Step(
            QStringLiteral("discovery attempt shown"),
            [&] { return ConnectionText(*form).startsWith("Discovery"); },
            [&] {
                discoveryText = ConnectionText(*form);
                addressAtDiscovery = EditText(*form, "leDMXAdr");
                firmwareAtDiscovery = EditText(*form, "leFirmware");
                listsAtDiscovery = ComboItems(*form, "cbDMXMode") + ComboItems(*form, "cbStatusLed");
                VC_SetFixtureSilent(id, 0);
            })
        .Step(
            QStringLiteral("ready again"), [&] { return form->State() == StateConnected; },
            [&] { form->close(); });
    RunToEnd(run);
    QVERIFY2(!run.Failed(), qPrintable(run.Failure()));

    QVERIFY(!boxSeen);
    // The poll in flight waits out its whole reply timeout before the loop gives up on the fixture.
    QVERIFY2(untilDiscovery >= 1000, qPrintable(QString::number(untilDiscovery)));
    QCOMPARE(discoveryText, QStringLiteral("Discovery..")); // the second attempt of this run
    // Nothing of the lost fixture stays shown while the next one is looked for.
    QCOMPARE(addressAtDiscovery, QString());
    QCOMPARE(firmwareAtDiscovery, QString());
    QCOMPARE(listsAtDiscovery, QStringList());
}

void FixtureLoopReadTest::pulledCableRebuildsConnection() {
    const VC_FixtureConfig config = Vek340();
    LineWith(&config);
    TScenarioRunner run(form.get());
    const std::uint64_t opensAtStart = Opens();
    std::uint64_t opensWhenReady = 0;
    QString cableWhileMissing, boxText;
    run.Step(
           QStringLiteral("polling"), [&] { return Polled(2); },
           [&] {
               opensWhenReady = Opens();
               VC_SetCablePlugged(0, 0);
           })
        .OnMessageBox(QStringLiteral("missing-cable box of the new bootstrap"),
                      [&](QMessageBox* box) {
                          cableWhileMissing = Control<QLabel>(*form, "lRDM")->text();
                          boxText = box->text();
                          VC_SetCablePlugged(0, 1);
                          box->button(QMessageBox::Retry)->click();
                      })
        .Step(
            QStringLiteral("ready on the returned cable"),
            [&] { return Polled(1) && Opens() > opensWhenReady; }, [&] { form->close(); });
    RunToEnd(run);
    QVERIFY2(!run.Failed(), qPrintable(run.Failure()));

    QCOMPARE(opensWhenReady, opensAtStart + 1);
    QCOMPARE(cableWhileMissing, QStringLiteral("No device"));
    QVERIFY(boxText.startsWith(QStringLiteral("Unable to locate ZYL USB/DMX cable")));
    QCOMPARE(Opens(), opensAtStart + 2); // a fresh wrapper opened the cable once more
    QCOMPARE(Control<QLabel>(*form, "lRDM")->text(), QStringLiteral("FT232R USB UART VC000001"));
}

void FixtureLoopReadTest::ackTimerReachesBootstrapErrorBox() {
    const VC_FixtureConfig config = Vek340();
    const int id = LineWith(&config);
    VC_InjectFault(id, VC_FAULT_ACK_TIMER, 0x20, 0x0060, 1);
    const std::uint64_t opensAtStart = Opens();
    TScenarioRunner run(form.get());
    QString boxText;
    bool fixtureReleased = false;
    run.OnMessageBox(QStringLiteral("error box of the bootstrap"),
                     [&](QMessageBox* box) {
                         boxText = box->text();
                         fixtureReleased = form->Fixture() == nullptr;
                         box->button(QMessageBox::Ok)->click();
                     })
        .Step(
            QStringLiteral("connected again"), [&] { return Polled(1); }, [&] { form->close(); });
    RunToEnd(run);
    QVERIFY2(!run.Failed(), qPrintable(run.Failure()));

    QVERIFY2(boxText.startsWith(QStringLiteral("RESPONSE_TYPE_ACK_TIMER not supported (RDM_Lib, line ")),
             qPrintable(boxText));
    QVERIFY(fixtureReleased);
    QCOMPARE(Opens(), opensAtStart + 2); // the loop's exit asked for a new bootstrap
}

void FixtureLoopReadTest::closingEndsLoopAfterCurrentPass_data() {
    QTest::addColumn<bool>("withFixture");
    QTest::addColumn<int>("state");
    QTest::addColumn<QString>("lastPacket");

    // Discovery without an answer: the attempt still sends its six idle frames.
    QTest::newRow("state 1") << false << 1 << QStringLiteral("DMX");
    // Reading: the sequence still runs to its end.
    QTest::newRow("state 10") << true << 10 << QStringLiteral("GET 0x0501");
    QTest::newRow("state 20") << true << 20 << QStringLiteral("DISC 0x0003");
}

void FixtureLoopReadTest::closingEndsLoopAfterCurrentPass() {
    QFETCH(bool, withFixture);
    QFETCH(int, state);
    QFETCH(QString, lastPacket);

    const VC_FixtureConfig config = Vek340();
    LineWith(withFixture ? &config : nullptr);
    // Replies take as long as on a real cable, so the reading sequence gives the window a few turns.
    VC_Timing timing{200, 44, 16000};
    VC_SetTiming(&timing);
    const std::uint64_t opensAtStart = Opens();

    TScenarioRunner run(form.get());
    std::size_t packetsAtClose = 0;
    const auto inState = [&] {
        if (form->State() != static_cast<std::uint32_t>(state))
            return false;
        // States 10 and 20 are entered at the end of the pass before; wait for a pass of their own.
        const QStringList names = PacketNames(ControllerPackets());
        return state == StateDiscovery ||
               names.contains(state == StateReading ? QStringLiteral("GET 0x0060")
                                                    : QStringLiteral("DISC 0x0003"));
    };
    run.Step(QStringLiteral("in the state"), inState, [&] {
        packetsAtClose = ControllerPackets().size();
        form->close();
    });
    RunToEnd(run);
    QVERIFY2(!run.Failed(), qPrintable(run.Failure()));

    QVERIFY((form->StateControl() & ControlClosing) != 0);
    QVERIFY(form->Fixture() == nullptr);
    const QStringList names = PacketNames(ControllerPackets());
    QVERIFY(static_cast<std::size_t>(names.size()) >= packetsAtClose);
    QCOMPARE(names.back(), lastPacket);
    if (state == StateDiscovery)
        QCOMPARE(names.mid(names.size() - 7),
                 (QStringList{"DISC 0x0001 *", "DMX", "DMX", "DMX", "DMX", "DMX", "DMX"}));

    // Nothing goes on afterwards: no new bootstrap, nothing more on the line.
    const int packetsAtEnd = names.size();
    QTest::qWait(300);
    QCOMPARE(Opens(), opensAtStart + 1);
    QCOMPARE(PacketNames(ControllerPackets()).size(), packetsAtEnd);
}

QTEST_MAIN(FixtureLoopReadTest)
#include "tst_fixture_loop_read.moc"
