// Writing the shown settings to the fixture with "Set", against the virtual cable: what goes over the
// line, what the fixture then holds, what the window shows after reading it back, and a write that
// the fixture refuses while the window is being closed. Each write blocks for 7.5 s, so the checks
// are gathered into few scenarios.
#include "FixtureLoopSupport.h"
#include "ScenarioRunner.h"

#include <QApplication>
#include <QCursor>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

#include <memory>

namespace {

constexpr int kScenarioTimeoutMs = 180000;

void Press(QWidget* button) {
    QTest::mousePress(button, Qt::LeftButton);
    QTest::mouseRelease(button, Qt::LeftButton);
}

// What the loop lets the window show while it writes. State 101 is also seen between the press and
// the start of the write, and after the cursor is restored at its end; the hour-glass must be seen
// with the settings disabled at the pump inside the write, and never outside state 101.
struct TWriteLook {
    bool HourGlassWhileWriting = false;
    bool CursorLeftOver = false;

    static bool Writing() { return QApplication::overrideCursor() != nullptr; }
    void Look(const TMainForm& form) {
        const QCursor* cursor = QApplication::overrideCursor();
        if (form.State() == StateWriting) {
            HourGlassWhileWriting = HourGlassWhileWriting || (cursor && cursor->shape() == Qt::WaitCursor &&
                                                              !Control(form, "bSet")->isEnabled() &&
                                                              !Control(form, "leDMXAdr")->isEnabled());
        } else if (cursor) {
            CursorLeftOver = true;
        }
    }
};

} // namespace

class FixtureLoopWriteTest : public QObject {
    Q_OBJECT
  private:
    std::unique_ptr<TMainForm> form;

    bool Polled(int times) const { return ::Polled(*form, times); }

  private slots:
    void init() {
        VC_Reset();
        form = std::make_unique<TMainForm>();
        form->show();
    }
    void cleanup() {
        form.reset();
        QCOMPARE(VC_OpenHandleCount(), 0);
        QVERIFY(QApplication::overrideCursor() == nullptr);
        VC_Reset();
    }

    void setWritesShownSettingsAndReadsThemBack_data();
    void setWritesShownSettingsAndReadsThemBack();
    void refusedPersonalityEndsWriteWhileClosing();
    void overlongReplyFailsTheWrite();
};

void FixtureLoopWriteTest::setWritesShownSettingsAndReadsThemBack_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("led");
    QTest::addColumn<TBytes>("setAddress");
    QTest::addColumn<TBytes>("setPersonality");
    QTest::addColumn<TBytes>("setLed");
    QTest::addColumn<int>("address");
    QTest::addColumn<int>("personality");
    QTest::addColumn<int>("ledByte");

    // The fixture starts at address 37, personality 2 (index 1), LED off (index 1).
    QTest::newRow("999 with mode 3 and LED on")
        << QStringLiteral("999") << 2 << 0 << req::SetStartAddress512 << req::SetPersonality3
        << req::SetStatusLedOn << 512 << 3 << 0xFF;
    QTest::newRow("0, mode and LED as shown")
        << QStringLiteral("0") << 1 << 1 << req::SetStartAddress1 << req::SetPersonality2
        << req::SetStatusLedOff << 1 << 2 << 0x00;
    QTest::newRow("not a number") << QString() << 1 << 1 << req::SetStartAddress1 << req::SetPersonality2
                                  << req::SetStatusLedOff << 1 << 2 << 0x00;
}

void FixtureLoopWriteTest::setWritesShownSettingsAndReadsThemBack() {
    QFETCH(QString, typed);
    QFETCH(int, mode);
    QFETCH(int, led);
    QFETCH(TBytes, setAddress);
    QFETCH(TBytes, setPersonality);
    QFETCH(TBytes, setLed);
    QFETCH(int, address);
    QFETCH(int, personality);
    QFETCH(int, ledByte);

    const VC_FixtureConfig config = Vek340();
    const int id = LineWith(&config);
    TWriteLook write;
    bool pressed = false, written = false;
    QString fieldAfterWrite;
    // The loop leaves state 101 for state 1 only for the moment between the write and the next
    // discovery attempt, which empties the field again: look at every pump.
    TPumpWatch watch([&] {
        write.Look(*form);
        if (pressed && !written && form->State() == StateDiscovery) {
            written = true;
            fieldAfterWrite = Control<QLineEdit>(*form, "leDMXAdr")->text();
        }
    });
    TScenarioRunner run(form.get());
    std::size_t packetsAtPress = 0;
    QString shownAddress;
    int shownMode = -2, shownLed = -2, pollsAtPress = 0;
    bool enabledAgain = false;
    run.Step(
           QStringLiteral("polling"), [&] { return Polled(1); },
           [&] {
               Control<QLineEdit>(*form, "leDMXAdr")->setText(typed);
               Control<QComboBox>(*form, "cbDMXMode")->setCurrentIndex(mode);
               Control<QComboBox>(*form, "cbStatusLed")->setCurrentIndex(led);
               packetsAtPress = ControllerPackets().size();
               pollsAtPress = CountPackets(req::Poll);
               Press(Control(*form, "bSet"));
               pressed = true;
           })
        .Step(
            QStringLiteral("written, read back and polling"),
            [&] {
                return written && form->State() == StateConnected && CountPackets(req::Poll) > pollsAtPress;
            },
            [&] {
                shownAddress = Control<QLineEdit>(*form, "leDMXAdr")->text();
                shownMode = Control<QComboBox>(*form, "cbDMXMode")->currentIndex();
                shownLed = Control<QComboBox>(*form, "cbStatusLed")->currentIndex();
                enabledAgain = Control(*form, "bSet")->isEnabled();
                form->close();
            },
            30000);
    run.Start();
    QTRY_VERIFY_WITH_TIMEOUT(run.Done(), kScenarioTimeoutMs);
    QVERIFY2(!run.Failed(), qPrintable(run.Failure()));

    // On the line: the three writes right after the press, then a fresh discovery.
    const auto packets = ControllerPackets();
    QVERIFY(packets.size() >= packetsAtPress + 5);
    QVERIFY(packets[packetsAtPress].Bytes == setAddress);
    QVERIFY(packets[packetsAtPress + 1].Bytes == setPersonality);
    QVERIFY(packets[packetsAtPress + 2].Bytes == setLed);
    QVERIFY(packets[packetsAtPress + 3].Bytes == req::UnMuteAll);
    QVERIFY(packets[packetsAtPress + 4].Bytes == req::UniqueBranchAll);
    // The fixture gets 2500 ms after each write (it stores the value meanwhile), also before the
    // discovery that reads everything back.
    for (std::size_t i = 0; i < 3; ++i) {
        const double gap = packets[packetsAtPress + i + 1].TimeMs - packets[packetsAtPress + i].TimeMs;
        QVERIFY2(gap >= 2500.0 && gap < 4500.0,
                 qPrintable(QStringLiteral("after write %1: %2 ms").arg(i).arg(gap)));
    }

    const VC_FixtureConfig held = FixtureState(id);
    QCOMPARE(int(held.start_address), address);
    QCOMPARE(int(held.current_personality), personality);
    QCOMPARE(int(held.status_led), ledByte);

    QCOMPARE(fieldAfterWrite, QString::number(address)); // the field shows the value written
    QCOMPARE(shownAddress, QString::number(address));
    QCOMPARE(shownMode, personality - 1);
    QCOMPARE(shownLed, ledByte == 0 ? 1 : 0);
    QVERIFY(enabledAgain);

    QVERIFY(write.HourGlassWhileWriting);
    QVERIFY(!write.CursorLeftOver);
}

// A fixture without personalities gets personality 0, which it refuses. The window is closed while
// the write runs: the error box still comes, nothing is written after the refused request, the
// loop ends with that pass and no new connection is made.
void FixtureLoopWriteTest::refusedPersonalityEndsWriteWhileClosing() {
    VC_FixtureConfig config = Vek340();
    config.personality_count = 0;
    config.current_personality = 0;
    const int id = LineWith(&config);
    const std::uint64_t opensAtStart = Opens();
    TWriteLook write;
    bool closed = false;
    TPumpWatch watch([&] {
        write.Look(*form);
        if (form->State() == StateWriting && TWriteLook::Writing() && !closed) {
            closed = true;
            form->close();
        }
    });
    TScenarioRunner run(form.get());
    std::size_t packetsAtPress = 0;
    QString boxText;
    std::uint32_t stateAtBox = 0;
    bool hourGlassAtBox = true;
    run.Step(
           QStringLiteral("polling"), [&] { return Polled(1); },
           [&] {
               Control<QLineEdit>(*form, "leDMXAdr")->setText(QStringLiteral("200"));
               packetsAtPress = ControllerPackets().size();
               Press(Control(*form, "bSet"));
           })
        .OnMessageBox(QStringLiteral("RDM error box"), [&](QMessageBox* box) {
            boxText = box->text();
            stateAtBox = form->State();
            hourGlassAtBox = QApplication::overrideCursor() != nullptr;
            run.Expect(box->icon() == QMessageBox::Critical, QStringLiteral("error kind"));
            box->button(QMessageBox::Ok)->click();
        });
    run.Start();
    QTRY_VERIFY_WITH_TIMEOUT(run.Done(), kScenarioTimeoutMs);
    QVERIFY2(!run.Failed(), qPrintable(run.Failure()));

    QVERIFY(closed);
    QCOMPARE(boxText, QStringLiteral("RDM error(DMX_PERSONALITY, Response NACK)"));
    QCOMPARE(stateAtBox, std::uint32_t{1});
    QVERIFY(!hourGlassAtBox); // the refused write took the hour-glass with it
    QVERIFY(write.HourGlassWhileWriting);
    QVERIFY(!write.CursorLeftOver);

    const auto packets = ControllerPackets();
    QCOMPARE(packets.size(), packetsAtPress + 2);
    QVERIFY(packets[packetsAtPress].Bytes == req::SetStartAddress200);
    QVERIFY(packets[packetsAtPress + 1].Bytes == req::SetPersonality0);
    QCOMPARE(int(FixtureState(id).start_address), 200);

    QVERIFY((form->StateControl() & ControlClosing) != 0);
    QTest::qWait(300);
    QCOMPARE(Opens(), opensAtStart + 1);
    QCOMPARE(ControllerPackets().size(), packetsAtPress + 2);
}

// A reply that outgrows what the cable layer collects ends its transaction early, without a complete
// reply: that is a failed write, shown as such, and not a success read from the bytes collected.
void FixtureLoopWriteTest::overlongReplyFailsTheWrite() {
    const VC_FixtureConfig config = Vek340();
    const int id = LineWith(&config);
    TBytes overlong{0xCC, 0x01, 0x00}; // a length byte of 0: the reply never says where it ends
    overlong.resize(303, 0x55);
    VC_SetRawReply(id, overlong.data(), static_cast<int>(overlong.size()), 0x30, 0x00F0, 1);
    TScenarioRunner run(form.get());
    std::size_t packetsAtPress = 0;
    QString boxText;
    run.Step(
           QStringLiteral("polling"), [&] { return Polled(1); },
           [&] {
               Control<QLineEdit>(*form, "leDMXAdr")->setText(QStringLiteral("200"));
               packetsAtPress = ControllerPackets().size();
               Press(Control(*form, "bSet"));
           })
        .OnMessageBox(QStringLiteral("RDM error box"),
                      [&](QMessageBox* box) {
                          boxText = box->text();
                          box->button(QMessageBox::Ok)->click();
                      })
        .Step(
            QStringLiteral("ready again"),
            [&] { return Polled(1) && ControllerPackets().size() > packetsAtPress + 3; },
            [&] { form->close(); });
    run.Start();
    QTRY_VERIFY_WITH_TIMEOUT(run.Done(), kScenarioTimeoutMs);
    QVERIFY2(!run.Failed(), qPrintable(run.Failure()));

    QCOMPARE(boxText, QStringLiteral("RDM error(DMX_START_ADDRESS, Response length too short)"));
    const auto packets = ControllerPackets();
    QVERIFY(packets[packetsAtPress].Bytes == req::SetStartAddress200);
    QVERIFY(packets[packetsAtPress + 1].Bytes == req::UnMuteAll); // no further write, a fresh discovery
}

QTEST_MAIN(FixtureLoopWriteTest)
#include "tst_fixture_loop_write.moc"
