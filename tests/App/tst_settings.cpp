// The settings controls: touch buttons that act on the press, the auto-repeat of "+" and "-",
// enabling as a group, and the stored default with its recall buttons.
#include "MainFormProbe.h"
#include "WindowTestSupport.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPointingDevice>
#include <QtTest>

#include <memory>

#include <vector>

class SettingsTest : public QObject {
    Q_OBJECT
  private:
    std::unique_ptr<TMainForm> form;

    QString Address() const { return Control<QLineEdit>(*form, "leDMXAdr")->text(); }
    void SetAddress(const QString& text) { Control<QLineEdit>(*form, "leDMXAdr")->setText(text); }
    void Press(const char* button) { QTest::mousePress(Control(*form, button), Qt::LeftButton); }
    void Release(const char* button) { QTest::mouseRelease(Control(*form, button), Qt::LeftButton); }
    int RepeatTimers() const { return form->findChildren<QTimer*>(QStringLiteral("fRepeatTimer")).size(); }

  private slots:
    void init();
    void cleanup() { form.reset(); }

    // Touch buttons
    void touchButtonTakesItsPlaceAndCaption();
    void touchButtonActsOnPressAndReportsRelease();
    void touchActsAtOnceWithoutAnEmulatedPress();
    void disablingAHeldButtonEndsItsPress();

    // Auto-repeat
    void heldPlusFollowsTheTimeLine();
    void repeatClampsTheAddress_data();
    void repeatClampsTheAddress();
    void shortPressStepsByExactlyOne();
    void secondMouseDownStartsNoSecondRepetition();
    void otherDirectionReversesWithoutRestarting();
    void repeatTimerRunsUntilRelease();
    void settingsDisabledWhileHeldStopRepetition();

    // Enabling and the stored default
    void setControlsEnabledFollowsTheDefault();
    void setRequestsTheWrite();
    void storeDefault_data();
    void storeDefault();
    void recallButtonsNeedAStoredDefault();
    void recallFillsTheSettingsAndRequestsTheWrite();
    void recallLeavesListsWithoutTheStoredPosition();
};

void SettingsTest::init() {
    form = TMainFormProbe::IdleForm();
    form->show();
    QVERIFY(QTest::qWaitForWindowExposed(form.get()));
}

// ---- Touch buttons ------------------------------------------------------------------------------

namespace {

// A touch button on a shown window of its own, logging its handlers' calls.
struct THostedButton {
    QWidget host;
    TTouchButton* button = new TTouchButton(&host);
    std::vector<QString> log;

    explicit THostedButton(const char* name, const TRect& r = TRect{0, 0, 80, 40}) {
        host.resize(200, 100);
        button->setObjectName(QString::fromLatin1(name));
        button->SetParams(&host, r, QString::fromLatin1(name), Logger(QStringLiteral("down")),
                          Logger(QStringLiteral("up")));
        host.show();
    }
    TMouseEvent Logger(const QString& what) {
        return [this, what](QObject* s, Qt::MouseButton b, Qt::KeyboardModifiers, int, int) {
            log.push_back(QStringLiteral("%1 %2 %3").arg(what, s->objectName()).arg(int(b)));
        };
    }
};

} // namespace

void SettingsTest::touchButtonTakesItsPlaceAndCaption() {
    THostedButton hosted("Ok", TRect{73, 3, 168, 29});
    QCOMPARE(hosted.button->parentWidget(), &hosted.host);
    QCOMPARE(hosted.button->geometry(), QRect(73, 3, 168, 29)); // Right and Bottom carry width and height
    QCOMPARE(hosted.button->text(), QStringLiteral("Ok"));
    QCOMPARE(hosted.button->font(), hosted.host.font()); // the caption in the parent's font
}

void SettingsTest::touchButtonActsOnPressAndReportsRelease() {
    THostedButton hosted("b");
    TTouchButton* button = hosted.button;
    QSignalSpy clicked(button, &QPushButton::clicked);
    QVERIFY(QTest::qWaitForWindowExposed(&hosted.host));

    QTest::mousePress(button, Qt::LeftButton);
    QCOMPARE(hosted.log, (std::vector<QString>{QStringLiteral("down b 1")}));
    QVERIFY(button->IsHeld());
    QTest::mouseRelease(button, Qt::LeftButton);
    QCOMPARE(hosted.log.size(), std::size_t(2));
    QCOMPARE(hosted.log[1], QStringLiteral("up b 1"));
    // Any mouse button presses it; the handler does not look at which.
    QTest::mousePress(button, Qt::RightButton);
    QCOMPARE(hosted.log.back(), QStringLiteral("down b 2"));
    QTest::mouseRelease(button, Qt::RightButton);
    QCOMPARE(clicked.count(), 1); // the click still happens, but nothing acts on it
}

void SettingsTest::touchActsAtOnceWithoutAnEmulatedPress() {
    THostedButton hosted("t", TRect{10, 10, 100, 50});
    QVERIFY(QTest::qWaitForWindowExposed(&hosted.host));
    QVERIFY(hosted.button->testAttribute(Qt::WA_AcceptTouchEvents));

    // Qt Test registers the device and leaves it to the test to delete.
    const std::unique_ptr<QPointingDevice> screen(QTest::createTouchDevice());
    QTest::touchEvent(&hosted.host, screen.get()).press(0, QPoint(40, 30));
    QCOMPARE(hosted.log, (std::vector<QString>{QStringLiteral("down t 1")}));
    QTest::touchEvent(&hosted.host, screen.get()).release(0, QPoint(40, 30));
    QCOMPARE(hosted.log, (std::vector<QString>{QStringLiteral("down t 1"), QStringLiteral("up t 1")}));
}

void SettingsTest::disablingAHeldButtonEndsItsPress() {
    THostedButton hosted("h");
    TTouchButton* button = hosted.button;
    QVERIFY(QTest::qWaitForWindowExposed(&hosted.host));

    QTest::mousePress(button, Qt::LeftButton);
    button->setEnabled(false); // a disabled button never sees the release
    QCOMPARE(hosted.log.size(), std::size_t(2));
    QCOMPARE(hosted.log[1], QStringLiteral("up h 1"));
    QVERIFY(!button->IsHeld());
    button->setEnabled(true);
    button->setEnabled(false); // not held: nothing to end
    QCOMPARE(hosted.log.size(), std::size_t(2));
}

// ---- Auto-repeat --------------------------------------------------------------------------------

void SettingsTest::heldPlusFollowsTheTimeLine() {
    TMainFormProbe probe(*form);
    probe.ShowReadyFixture(1, {{24, "Standard"}}, 0, 0);

    // Time of each step from the press, and the address it shows. After the press, every event of
    // the repeat timer comes one interval (as the previous step left it) after the one before.
    struct TStep {
        int timeMs;
        int address;
    };
    std::vector<TStep> seen;
    Press("bIncrement");
    QTimer* timer = probe.RepeatTimer();
    QVERIFY(timer != nullptr);
    QVERIFY(timer->isActive());
    int now = 0;
    seen.push_back({now, Address().toInt()});
    while (seen.back().address < 512 && seen.size() < 200) {
        now += timer->interval();
        probe.FireRepeatTimer();
        seen.push_back({now, Address().toInt()});
    }
    Release("bIncrement");
    QVERIFY(probe.RepeatTimer() == nullptr);

    std::vector<TStep> expected = {{0, 2},     {400, 3},   {700, 4},   {900, 5},   {1000, 6},
                                   {1050, 8},  {1100, 11}, {1150, 15}, {1200, 20}, {1250, 26},
                                   {1300, 33}, {1350, 41}, {1400, 50}};
    for (int t = 1450, a = 60; a <= 510; t += 50, a += 10)
        expected.push_back({t, a});
    expected.push_back({expected.back().timeMs + 50, 512});
    QCOMPARE(seen.size(), expected.size());
    for (std::size_t i = 0; i < seen.size(); ++i) {
        QCOMPARE(seen[i].timeMs, expected[i].timeMs);
        QCOMPARE(seen[i].address, expected[i].address);
    }
}

void SettingsTest::repeatClampsTheAddress_data() {
    QTest::addColumn<QString>("start");
    QTest::addColumn<QString>("button");
    QTest::addColumn<int>("events");
    QTest::addColumn<int>("expected");

    QTest::newRow("minus at 1 stays 1") << "1"
                                        << "bDecrement" << 3 << 1;
    QTest::newRow("plus at 512 stays 512") << "512"
                                           << "bIncrement" << 3 << 512;
    QTest::newRow("big minus steps stop at 1") << "30"
                                               << "bDecrement" << 40 << 1;
    QTest::newRow("empty counts as 0, plus gives 1") << ""
                                                     << "bIncrement" << 0 << 1;
    QTest::newRow("empty counts as 0, minus gives 1") << ""
                                                      << "bDecrement" << 0 << 1;
    QTest::newRow("typed 999 is brought to 512") << "999"
                                                 << "bIncrement" << 0 << 512;
}

void SettingsTest::repeatClampsTheAddress() {
    QFETCH(QString, start);
    QFETCH(QString, button);
    QFETCH(int, events);
    QFETCH(int, expected);

    TMainFormProbe probe(*form);
    probe.ShowReadyFixture(1, {{24, "Standard"}}, 0, 0);
    SetAddress(start);
    const QByteArray name = button.toLatin1();
    Press(name.constData());
    for (int i = 0; i < events; ++i)
        probe.FireRepeatTimer();
    Release(name.constData());
    QCOMPARE(Address(), QString::number(expected));
}

void SettingsTest::shortPressStepsByExactlyOne() {
    TMainFormProbe(*form).ShowReadyFixture(100, {{24, "Standard"}}, 0, 0);
    Press("bIncrement");
    Release("bIncrement");
    QCOMPARE(Address(), QStringLiteral("101"));
    Press("bDecrement");
    Release("bDecrement");
    Press("bDecrement");
    Release("bDecrement");
    QCOMPARE(Address(), QStringLiteral("99"));
    QCOMPARE(RepeatTimers(), 0);
}

void SettingsTest::secondMouseDownStartsNoSecondRepetition() {
    // A touch can reach the mouse-down handler twice: once from the touch, once emulated.
    TMainFormProbe probe(*form);
    probe.ShowReadyFixture(10, {{24, "Standard"}}, 0, 0);
    Press("bIncrement");
    QTimer* first = probe.RepeatTimer();
    Press("bIncrement");
    QCOMPARE(probe.RepeatTimer(), first);
    QCOMPARE(RepeatTimers(), 1);
    QCOMPARE(Address(), QStringLiteral("11"));
    Release("bIncrement");
    QCOMPARE(RepeatTimers(), 0);
}

void SettingsTest::otherDirectionReversesWithoutRestarting() {
    TMainFormProbe probe(*form);
    probe.ShowReadyFixture(200, {{24, "Standard"}}, 0, 0);
    Press("bIncrement");
    for (int i = 0; i < 6; ++i) // intervals 300, 200, 100, 50, then the step grows to 2 and 3
        probe.FireRepeatTimer();
    QCOMPARE(probe.RepeatVal(), 3);
    const int before = Address().toInt();
    QTimer* timer = probe.RepeatTimer();

    Press("bDecrement"); // "+" is still held
    QCOMPARE(probe.RepeatTimer(), timer);
    QCOMPARE(Address().toInt(), before); // no step of its own
    probe.FireRepeatTimer();
    QCOMPARE(Address().toInt(), before - 4); // the acceleration goes on: step 4, downwards
    QCOMPARE(timer->interval(), 50);

    Release("bDecrement");
    QVERIFY(probe.RepeatTimer() == nullptr);
    Release("bIncrement");
    QCOMPARE(Address().toInt(), before - 4);
}

void SettingsTest::repeatTimerRunsUntilRelease() {
    TMainFormProbe(*form).ShowReadyFixture(1, {{24, "Standard"}}, 0, 0);
    Press("bIncrement");
    QTRY_VERIFY_WITH_TIMEOUT(Address().toInt() >= 4, 10000);
    Release("bIncrement");
    const QString stopped = Address();
    QTest::qWait(300); // longer than any interval: a running timer would have stepped
    QCOMPARE(Address(), stopped);
}

void SettingsTest::settingsDisabledWhileHeldStopRepetition() {
    // Discovery disables the settings while "+" may still be held; the repetition must not go on
    // writing into the address field that the fixture loop fills.
    TMainFormProbe probe(*form);
    probe.ShowReadyFixture(50, {{24, "Standard"}}, 0, 0);
    Press("bIncrement");
    QVERIFY(probe.RepeatTimer() != nullptr);
    probe.SetControlsEnabled(false, true);
    QVERIFY(probe.RepeatTimer() == nullptr);
    QCOMPARE(RepeatTimers(), 0);
    QCOMPARE(Address(), QString());
}

// ---- Enabling and the stored default ------------------------------------------------------------

void SettingsTest::setControlsEnabledFollowsTheDefault() {
    TMainFormProbe probe(*form);
    auto* firmware = Control<QLineEdit>(*form, "leFirmware");
    probe.ShowReadyFixture(100, {{24, "Standard"}, {256, "Extended"}}, 0, 0);
    firmware->setText(QStringLiteral("1.0.3"));

    // Without a default, enabling leaves both recall buttons disabled.
    for (QWidget* w : probe.EnableList())
        QCOMPARE(w->isEnabled(),
                 w != Control(*form, "bSetDefault") && w != Control(*form, "bSetDefaultDMX2"));

    // Disabling without clearing keeps the texts; with clearing it empties address and firmware.
    probe.SetControlsEnabled(false, false);
    for (QWidget* w : probe.EnableList())
        QVERIFY(!w->isEnabled());
    QCOMPARE(Address(), QStringLiteral("100"));
    probe.SetControlsEnabled(true, true); // clearing has no effect while enabling
    QCOMPARE(Address(), QStringLiteral("100"));
    probe.SetControlsEnabled(false, true);
    QCOMPARE(Address(), QString());
    QCOMPARE(firmware->text(), QString());
}

void SettingsTest::setRequestsTheWrite() {
    TMainFormProbe probe(*form);
    probe.ShowReadyFixture(100, {{24, "Standard"}}, 0, 0);
    probe.SetState(StateConnected);
    Press("bSet");
    QCOMPARE(form->State(), 101u);
    Release("bSet");
    Press("bSet");
    QCOMPARE(form->State(), 101u);
}

void SettingsTest::storeDefault_data() {
    QTest::addColumn<QString>("address");
    QTest::addColumn<int>("footprint");
    QTest::addColumn<int>("mode");
    QTest::addColumn<bool>("withFixture");
    QTest::addColumn<int>("storedAddress");
    QTest::addColumn<int>("dmx2");

    QTest::newRow("100 with 24 slots: second at 124") << "100" << 24 << 0 << true << 100 << 124;
    QTest::newRow("470 with 24 slots: 518 is past 512") << "470" << 24 << 0 << true << 470 << -1;
    QTest::newRow("1 with 256 slots: 513 is past 512") << "1" << 256 << 0 << true << 1 << -1;
    QTest::newRow("464 with 24 slots: exactly 512") << "464" << 24 << 0 << true << 464 << 488;
    QTest::newRow("empty address counts as 1") << "" << 24 << 0 << true << 1 << 25;
    QTest::newRow("no mode selected") << "100" << 24 << -1 << true << 100 << -1;
    QTest::newRow("mode the record does not describe") << "100" << 24 << 1 << true << 100 << -1;
    QTest::newRow("no fixture record") << "100" << 24 << 0 << false << 100 << -1;
}

void SettingsTest::storeDefault() {
    QFETCH(QString, address);
    QFETCH(int, footprint);
    QFETCH(int, mode);
    QFETCH(bool, withFixture);
    QFETCH(int, storedAddress);
    QFETCH(int, dmx2);

    TMainFormProbe probe(*form);
    probe.ShowReadyFixture(1, {{static_cast<std::uint16_t>(footprint), "Mode"}}, 0, 1);
    auto* modes = Control<QComboBox>(*form, "cbDMXMode");
    if (mode >= modes->count())
        modes->addItem(QStringLiteral("2. Listed but not read  (8 channels)"));
    modes->setCurrentIndex(mode);
    SetAddress(address);
    if (!withFixture)
        probe.SetFixture(nullptr);
    probe.SetState(StateConnected);

    Press("bStoreDefault");
    Release("bStoreDefault");
    const TDefault& d = form->Default();
    QVERIFY(d.Valid);
    QCOMPARE(int(d.DMXAdr), storedAddress);
    QCOMPARE(d.Mode, mode);
    QCOMPARE(d.StatusLed, 1);
    QCOMPARE(d.DMX2Adr, dmx2);
    QCOMPARE(form->State(), 20u); // nothing is sent
    QVERIFY(Control(*form, "bSetDefault")->isEnabled());
    QCOMPARE(Control(*form, "bSetDefaultDMX2")->isEnabled(), dmx2 > 0);
    QVERIFY(Control(*form, "bSet")->isEnabled());

    // Storing again with the same contents gives the same default.
    Press("bStoreDefault");
    QCOMPARE(form->Default().DMX2Adr, dmx2);
    QCOMPARE(int(form->Default().DMXAdr), storedAddress);
}

void SettingsTest::recallButtonsNeedAStoredDefault() {
    TMainFormProbe probe(*form);
    probe.ShowReadyFixture(100, {{24, "Standard"}}, 0, 0);
    probe.SetState(StateConnected);
    QVERIFY(!Control(*form, "bSetDefault")->isEnabled());
    QVERIFY(!Control(*form, "bSetDefaultDMX2")->isEnabled());
    Press("bSetDefault");
    Press("bSetDefaultDMX2");
    QCOMPARE(form->State(), 20u);
    QCOMPARE(Address(), QStringLiteral("100"));
}

void SettingsTest::recallFillsTheSettingsAndRequestsTheWrite() {
    TMainFormProbe probe(*form);
    probe.ShowReadyFixture(100, {{24, "Standard"}, {8, "Compact"}}, 0, 1);
    Press("bStoreDefault");
    Release("bStoreDefault");

    // The next fixture shows other settings.
    probe.ShowReadyFixture(7, {{24, "Standard"}, {8, "Compact"}}, 1, 0);
    probe.SetState(StateConnected);
    Press("bSetDefault");
    QCOMPARE(Address(), QStringLiteral("100"));
    QCOMPARE(Control<QComboBox>(*form, "cbDMXMode")->currentIndex(), 0);
    QCOMPARE(Control<QComboBox>(*form, "cbStatusLed")->currentIndex(), 1);
    QCOMPARE(form->State(), 101u);

    probe.ShowReadyFixture(7, {{24, "Standard"}, {8, "Compact"}}, 1, 0);
    probe.SetState(StateConnected);
    Press("bSetDefaultDMX2");
    QCOMPARE(Address(), QStringLiteral("124"));
    QCOMPARE(Control<QComboBox>(*form, "cbDMXMode")->currentIndex(), 0);
    QCOMPARE(Control<QComboBox>(*form, "cbStatusLed")->currentIndex(), 1);
    QCOMPARE(form->State(), 101u);
}

void SettingsTest::recallLeavesListsWithoutTheStoredPosition() {
    TMainFormProbe probe(*form);
    auto* modes = Control<QComboBox>(*form, "cbDMXMode");
    auto* led = Control<QComboBox>(*form, "cbStatusLed");

    // Stored: mode 3 of a fixture with three modes, no LED (its list was empty).
    probe.ShowReadyFixture(10, {{4, "A"}, {8, "B"}, {16, "C"}}, 2, 0);
    led->clear();
    Press("bStoreDefault");
    QCOMPARE(form->Default().StatusLed, -1);

    // Now a fixture with one mode and an LED set to "Off".
    probe.ShowReadyFixture(20, {{4, "A"}}, 0, 1);
    Press("bSetDefault");
    QCOMPARE(Address(), QStringLiteral("10"));
    QCOMPARE(modes->currentIndex(), 0); // position 2 is not there: unchanged
    QCOMPARE(led->currentIndex(), 1);   // -1 stored: unchanged

    // A stored "no mode selected" removes the selection.
    probe.ShowReadyFixture(30, {{4, "A"}, {8, "B"}}, 1, 0);
    modes->setCurrentIndex(-1);
    Press("bStoreDefault");
    modes->setCurrentIndex(1);
    Press("bSetDefault");
    QCOMPARE(modes->currentIndex(), -1);
}

QTEST_MAIN(SettingsTest)
#include "tst_settings.moc"
