// Every fault of the virtual cable in every state of the fixture loop, end to end: the window runs
// against the virtual cable, the fault is injected in discovery, reading, polling or writing, and
// each cell checks that the tool neither crashes nor hangs, reacts the way that state handles a
// failed transfer, and reaches "Ready" again on its own once the fault is gone (after an unplug,
// with the Retry of the missing-cable box).
#include "MainFormProbe.h"
#include "ScenarioRunner.h"
#include "VirtualCable.h"
#include "WindowTestSupport.h"

#include <QHash>
#include <QLabel>
#include <QPushButton>
#include <QtTest>

#include <algorithm>
#include <cstdint>
#include <memory>

namespace {

constexpr int kFixture = 0;
constexpr int kCable = 0;
constexpr int kFaultUnplug = -1; // not a reply fault: the cable is pulled
constexpr int kScenarioTimeoutMs = 180000;

enum class Reaction {
    None,           // the reply still gets through, or the fault cannot touch this reply
    DiscoveryRetry, // no fixture found: discovery tries again, silently
    ReadRetry,      // four silent reading attempts, then back to discovery
    Rediscover,     // the poll is lost: back to discovery, silently
    WriteErrorBox,  // "RDM error(DMX_START_ADDRESS, ...)", no further writes, then discovery
    ExceptionBox,   // the bootstrap shows the unsupported response type, then connects afresh
    Rebuild,        // "No device", then the missing-cable box; Retry connects afresh
};

// The request a state's fault is aimed at.
struct Target {
    std::uint8_t cc;
    std::uint16_t pid;
};

Target TargetOf(int state) {
    switch (state) {
    case 1:
        return {0x10, 0x0001}; // DISC_UNIQUE_BRANCH
    case 10:
        return {0x20, 0x0060}; // GET DEVICE_INFO, the first request of the reading
    case 20:
        return {0x10, 0x0003}; // the poll, DISC_UN_MUTE to the fixture
    default:
        return {0x30, 0x00F0}; // SET DMX_START_ADDRESS, the first write
    }
}

// Requests the tool put on the line since the counter was made, read as the capture grows.
class TLineCounter {
  public:
    TLineCounter() { VC_CaptureClear(); }
    int Sent(std::uint8_t cc, std::uint16_t pid) {
        Update();
        return fCounts.value(Key(cc, pid));
    }
    // Discovery attempts: a broadcast DISC_UN_MUTE and the DISC_UNIQUE_BRANCH over the whole line
    // right behind it (a search of several, or a fixture's confirmation, asks more in between).
    int Attempts() {
        Update();
        return fAttempts;
    }
    // Requests of one kind between the first and the second discovery attempt.
    int SentInFirstConnection(std::uint8_t cc, std::uint16_t pid) {
        Update();
        return fFirstConnection.value(Key(cc, pid));
    }

  private:
    static int Key(int cc, int pid) { return (cc << 16) | pid; }
    void Update() {
        for (const TLinePacket& packet : fCapture.Next()) {
            const auto request = RequestKind(packet.Bytes);
            if (!request)
                continue;
            const int key = Key(request->CommandClass, request->Pid);
            ++fCounts[key];
            if (key == Key(0x10, 0x0001) && fAfterBroadcastUnMute)
                ++fAttempts;
            fAfterBroadcastUnMute = key == Key(0x10, 0x0003) && request->Broadcast;
            if (fAttempts == 1)
                ++fFirstConnection[key];
        }
    }

    TCaptureReader fCapture;
    QHash<int, int> fCounts;
    QHash<int, int> fFirstConnection;
    int fAttempts = 0;
    bool fAfterBroadcastUnMute = false;
};

} // namespace

Q_DECLARE_METATYPE(Reaction)

class FaultMatrixTest : public QObject {
    Q_OBJECT
  private:
    std::unique_ptr<TMainForm> form;

    QString Connection() const { return Control<QLabel>(*form, "lConnection")->text(); }
    bool Ready() const {
        return form->State() == StateConnected && Connection().endsWith(QStringLiteral(" - Ready")) &&
               Control(*form, "bSet")->isEnabled();
    }

  private slots:
    void init() { VC_Reset(); }
    void cleanup() {
        form.reset();
        QCOMPARE(VC_OpenHandleCount(), 0);
        VC_Reset();
    }

    void faultInEachState_data();
    void faultInEachState();
};

void FaultMatrixTest::faultInEachState_data() {
    QTest::addColumn<int>("state");
    QTest::addColumn<int>("fault");
    QTest::addColumn<Reaction>("reaction");
    QTest::addColumn<QString>("boxText"); // the error of the write box, or the start of the bootstrap's box

    struct Fault {
        int id;
        const char* name;
    };
    const Fault faults[] = {
        {kFaultUnplug, "unplug"},
        {VC_FAULT_SILENCE, "silence"},
        {VC_FAULT_WRONG_CHECKSUM, "wrong checksum"},
        {VC_FAULT_SHORT_REPLY, "short reply"},
        {VC_FAULT_WRONG_CC, "wrong CC"},
        {VC_FAULT_WRONG_PID, "wrong PID"},
        {VC_FAULT_NACK, "NACK"},
        {VC_FAULT_ACK_TIMER, "ACK_TIMER"},
        {VC_FAULT_ACK_OVERFLOW, "ACK_OVERFLOW"},
        {VC_FAULT_LENGTH_ZERO, "length byte 0"},
        {VC_FAULT_STRAY_BYTES, "stray bytes"},
        {VC_FAULT_SLOW_REPLY, "slow reply"},
        {VC_FAULT_COLLISION, "collision"},
    };
    struct Cell {
        Reaction reaction;
        const char* boxText;
    };
    // What each state does with each fault, in the order of `faults`.
    const struct {
        int state;
        const char* name;
        Cell cells[std::size(faults)];
    } states[] = {
        {StateDiscovery,
         "discovery",
         {{Reaction::Rebuild, ""},
          {Reaction::DiscoveryRetry, ""},
          {Reaction::DiscoveryRetry, ""},
          {Reaction::DiscoveryRetry, ""},
          // A discovery reply carries no class, PID, response type or length byte to spoil.
          {Reaction::None, ""},
          {Reaction::None, ""},
          {Reaction::None, ""},
          {Reaction::None, ""},
          {Reaction::None, ""},
          {Reaction::None, ""},
          {Reaction::None, ""}, // noise before the separator is skipped
          {Reaction::DiscoveryRetry, ""},
          {Reaction::DiscoveryRetry, ""}}},
        {StateReading,
         "reading",
         {{Reaction::Rebuild, ""},
          {Reaction::ReadRetry, ""},
          {Reaction::ReadRetry, ""},
          {Reaction::ReadRetry, ""},
          {Reaction::ReadRetry, ""},
          {Reaction::ReadRetry, ""},
          {Reaction::ReadRetry, ""},
          {Reaction::ExceptionBox, "RESPONSE_TYPE_ACK_TIMER not supported"},
          {Reaction::ExceptionBox, "RESPONSE_TYPE_ACK_OVERFLOW not supported"},
          {Reaction::ReadRetry, ""},
          {Reaction::None, ""}, // noise before the start code is skipped
          {Reaction::ReadRetry, ""},
          {Reaction::ReadRetry, ""}}},
        {StateConnected,
         "polling",
         {{Reaction::Rebuild, ""},
          {Reaction::Rediscover, ""},
          {Reaction::Rediscover, ""},
          {Reaction::Rediscover, ""},
          {Reaction::Rediscover, ""},
          {Reaction::Rediscover, ""},
          {Reaction::Rediscover, ""},
          {Reaction::ExceptionBox, "RESPONSE_TYPE_ACK_TIMER not supported"},
          {Reaction::ExceptionBox, "RESPONSE_TYPE_ACK_OVERFLOW not supported"},
          {Reaction::Rediscover, ""},
          {Reaction::None, ""},
          {Reaction::Rediscover, ""},
          {Reaction::Rediscover, ""}}},
        {StateWriting,
         "writing",
         {{Reaction::Rebuild, "Timeout"},
          {Reaction::WriteErrorBox, "Timeout"},
          {Reaction::WriteErrorBox, "Response checksum error"},
          {Reaction::WriteErrorBox, "Timeout"},
          {Reaction::WriteErrorBox, "Response CC error"},
          {Reaction::WriteErrorBox, "Response PID error"},
          {Reaction::WriteErrorBox, "Response NACK"},
          {Reaction::ExceptionBox, "RESPONSE_TYPE_ACK_TIMER not supported"},
          {Reaction::ExceptionBox, "RESPONSE_TYPE_ACK_OVERFLOW not supported"},
          {Reaction::WriteErrorBox, "Timeout"},
          {Reaction::None, ""}, // the whole write sequence runs, with its three waits
          {Reaction::WriteErrorBox, "Timeout"},
          {Reaction::WriteErrorBox, "Response checksum error"}}},
    };
    for (const auto& s : states)
        for (std::size_t f = 0; f < std::size(faults); ++f)
            QTest::addRow("%d %s / %s", s.state, s.name, faults[f].name)
                << s.state << faults[f].id << s.cells[f].reaction << QString::fromLatin1(s.cells[f].boxText);
}

void FaultMatrixTest::faultInEachState() {
    QFETCH(int, state);
    QFETCH(int, fault);
    QFETCH(Reaction, reaction);
    QFETCH(QString, boxText);
    const Target target = TargetOf(state);
    const bool unplug = fault == kFaultUnplug;

    VC_SetFastTiming();
    TLineCounter line;
    // Discovery and reading come first on their own; their faults are in place before the window is.
    if (!unplug && (state == StateDiscovery || state == StateReading))
        VC_InjectFault(kFixture, fault, target.cc, target.pid, -1);
    // An unplug needs the loop to be in the state: a silent fixture keeps it discovering, one lost
    // DEVICE_INFO keeps it reading through one more pass.
    if (unplug && state == StateDiscovery)
        VC_SetFixtureSilent(kFixture, 1);
    if (unplug && state == StateReading)
        VC_InjectFault(kFixture, VC_FAULT_SILENCE, target.cc, target.pid, 1);

    form = std::make_unique<TMainForm>();
    form->show();
    TScenarioRunner run(form.get());
    const auto noBox = [&run](const QString& step) {
        if (QMessageBox* box = TScenarioRunner::ActiveMessageBox())
            return run.Expect(false, step + QStringLiteral(": unexpected box: ") + box->text());
        return true;
    };
    const auto removeFault = [] {
        VC_ClearFaults();
        VC_SetFixtureSilent(kFixture, 0);
        VC_SetCablePlugged(kCable, 1);
    };

    // Bring the fault in.
    int discoveriesBefore = 0;
    int targetsBefore = 0;
    int pollsBefore = 0;
    const auto mark = [&] {
        discoveriesBefore = line.Attempts();
        targetsBefore = line.Sent(target.cc, target.pid);
        pollsBefore = line.Sent(0x10, 0x0003);
    };
    const auto strike = [&] {
        mark();
        if (unplug)
            VC_SetCablePlugged(kCable, 0);
        else
            VC_InjectFault(kFixture, fault, target.cc, target.pid, -1);
        if (state == StateWriting)
            QTest::mouseClick(Control(*form, "bSet"), Qt::LeftButton);
    };
    if (state == StateDiscovery && unplug) {
        run.Step(
            QStringLiteral("discovering"),
            [&] { return form->State() == StateDiscovery && line.Attempts() >= 1; }, strike);
    } else if (state == StateReading && unplug) {
        run.Step(
            QStringLiteral("reading"),
            [&] { return form->State() == StateReading && line.Sent(0x20, 0x0060) >= 1; }, strike);
    } else if (state == StateConnected || state == StateWriting) {
        run.Step(
            QStringLiteral("ready before the fault"),
            [&] { return noBox(QStringLiteral("start")) && Ready(); }, strike);
    }

    // The reaction.
    const QString writeError = QStringLiteral("RDM error(DMX_START_ADDRESS, %1)").arg(boxText);
    switch (reaction) {
    case Reaction::None:
        run.Step(
            QStringLiteral("goes on as if nothing happened"),
            [&] {
                if (!noBox(QStringLiteral("no reaction")) || !Ready())
                    return false;
                // Polling has gone on past the faulty reply (after a write, behind the discovery it ends in).
                return line.Sent(target.cc, target.pid) > targetsBefore &&
                       line.Sent(0x10, 0x0003) >= pollsBefore + 3;
            },
            [&] {
                const int discoveries = line.Attempts();
                run.Expect(discoveries == (state == StateWriting ? discoveriesBefore + 1
                                                                 : std::max(discoveriesBefore, 1)),
                           QStringLiteral("%1 discoveries").arg(discoveries));
                if (state == StateWriting)
                    run.Expect(line.Sent(0x30, 0x00E0) == 1 && line.Sent(0x30, 0x0501) == 1,
                               QStringLiteral("the rest of the write sequence was not sent"));
            });
        break;
    case Reaction::DiscoveryRetry:
        run.Step(
            QStringLiteral("discovery tries again"),
            [&] { return noBox(QStringLiteral("discovery")) && line.Attempts() >= 3; },
            [&] {
                run.Expect(form->State() == StateDiscovery,
                           QStringLiteral("left discovery with the fault in place"));
                run.Expect(line.Sent(0x20, 0x0060) == 0,
                           QStringLiteral("read a fixture that was never found"));
                removeFault();
            });
        break;
    case Reaction::ReadRetry:
        run.Step(
            QStringLiteral("four readings, then discovery"),
            [&] { return noBox(QStringLiteral("reading")) && line.Attempts() >= 2; },
            [&] {
                const int reads = line.SentInFirstConnection(0x20, 0x0060);
                run.Expect(reads == 4,
                           QStringLiteral("DEVICE_INFO asked %1 times before discovery").arg(reads));
                removeFault();
            });
        break;
    case Reaction::Rediscover:
        run.Step(
            QStringLiteral("back to discovery"),
            [&] { return noBox(QStringLiteral("polling")) && line.Attempts() > discoveriesBefore; },
            removeFault);
        break;
    case Reaction::WriteErrorBox:
        run.OnMessageBox(QStringLiteral("write error box"), [&](QMessageBox* box) {
            run.Expect(box->text() == writeError, QStringLiteral("box text: ") + box->text());
            run.Expect(line.Sent(0x30, 0x00E0) == 0, QStringLiteral("wrote on after a failed write"));
            removeFault();
            box->accept();
        });
        break;
    case Reaction::ExceptionBox:
        run.OnMessageBox(QStringLiteral("bootstrap's error box"), [&](QMessageBox* box) {
            run.Expect(box->text().startsWith(boxText + QStringLiteral(" (RDM_Lib, line ")),
                       QStringLiteral("box text: ") + box->text());
            removeFault();
            box->accept();
        });
        break;
    case Reaction::Rebuild:
        if (!boxText.isEmpty()) {
            run.OnMessageBox(QStringLiteral("write error box"), [&](QMessageBox* box) {
                run.Expect(box->text() == writeError, QStringLiteral("box text: ") + box->text());
                box->accept();
            });
        }
        run.OnMessageBox(QStringLiteral("missing-cable box"), [&](QMessageBox* box) {
            run.Expect(box->objectName() == QStringLiteral("MissingCableBox"),
                       QStringLiteral("box: ") + box->text());
            run.Expect(Control<QLabel>(*form, "lRDM")->text() == QStringLiteral("No device"),
                       QStringLiteral("cable label: ") + Control<QLabel>(*form, "lRDM")->text());
            removeFault();
            box->button(QMessageBox::Retry)->click();
        });
        break;
    }

    // And back to work on its own. After a rebuild the window is ready again only on the new
    // connection: the state the old loop left behind may still read as ready before the new
    // bootstrap has run.
    const bool rebuilt = reaction == Reaction::ExceptionBox || reaction == Reaction::Rebuild;
    run.Step(
        QStringLiteral("ready again"),
        [&] { return noBox(QStringLiteral("recovery")) && Ready() && (!rebuilt || Opens() >= 2); },
        [&] {
            run.Expect(rebuilt ? Opens() >= 2 : Opens() == 1,
                       QStringLiteral("cable opened %1 times").arg(Opens()));
            form->close();
        });
    run.Start();
    QTRY_VERIFY_WITH_TIMEOUT(run.Done(), kScenarioTimeoutMs);
    QVERIFY2(!run.Failed(), qPrintable(run.Failure()));
}

QTEST_MAIN(FaultMatrixTest)
#include "tst_fault_matrix.moc"
