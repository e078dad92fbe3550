// The tool as the technician meets it, offscreen against the virtual cable:
//  - from the start of the bootstrap (the window receives WM_USER) to "<model> - Ready" in
//    lConnection, for fixtures with 1, 8 and 32 personalities, beside the floor of the same line
//    traffic;
//  - the cost of polling a connected fixture for 10 seconds: CPU share and polls per second.
#include "BenchClock.h"
#include "BenchTable.h"
#include "LineFloor.h"
#include "Main.h"
#include "Themes.h"
#include "VirtualLine.h"

#include <QApplication>
#include <QEventLoop>
#include <QLabel>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

constexpr int ReadyRepetitions = 5;
constexpr int PollingWindowMs = 10000;
constexpr int GiveUpAfterMs = 60000; // a run that never gets there is a failure, not a figure

struct Snapshot {
    double wallMs = 0;
    double threadCpuMs = 0;
    double processCpuMs = 0;
    double waitingMs = 0;
    std::uint64_t calls = 0;
    int capture = 0;
    int latencyTimerMs = 0; // the cable's, as the tool left it

    static Snapshot Now() {
        return {
            bench::WallMs(),   bench::ThreadCpuMs(), bench::ProcessCpuMs(),     bench::ThreadRunQueueWaitMs(),
            VC_CallCount("*"), VC_CaptureCount(),    bench::LatencyTimerMsNow()};
    }
};

struct Stretch {
    Snapshot from;
    Snapshot to;
    double Wall() const { return to.wallMs - from.wallMs; }
    double ThreadCpu() const { return to.threadCpuMs - from.threadCpuMs; }
    double ProcessCpu() const { return to.processCpuMs - from.processCpuMs; }
    double Waiting() const { return to.waitingMs - from.waitingMs; }
    double Calls() const { return static_cast<double>(to.calls - from.calls); }
};

// One window from its creation until it is closed again. Notes when the bootstrap starts, when
// the fixture is ready, and when the polling window ends.
class TWindowSession : public QObject {
  public:
    explicit TWindowSession(bool pollAfterReady) : fPollAfterReady(pollAfterReady) {
        fForm = std::make_unique<TMainForm>();
        fConnection = fForm->findChild<QLabel*>(QStringLiteral("lConnection"));
        if (fConnection == nullptr)
            throw std::runtime_error("the window has no lConnection");
        fForm->installEventFilter(this);

        // A zero timer runs at every message pump of the state machine, right after each text change.
        connect(&fReadyWatch, &QTimer::timeout, this, [this] { CheckReady(); });
        fReadyWatch.start(0);
        connect(&fConnectedWatch, &QTimer::timeout, this, [this] { CheckConnected(); });
        fGiveUp.setSingleShot(true);
        connect(&fGiveUp, &QTimer::timeout, this, [this] { Finish(false); });
        fGiveUp.start(GiveUpAfterMs);
    }

    // Runs the window until the session is over; false when it never got there.
    bool Run() {
        fForm->show();
        fLoop.exec(); // the bootstrap and its state machine run nested inside this loop
        fForm.reset();
        return fCompleted;
    }

    const Stretch& ToReady() const { return fToReady; }
    const Stretch& Polling() const { return fPolling; }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == fForm.get() && event->type() == WM_USER_EVENT && !fBootstrapStarted) {
            fBootstrapStarted = true;
            fToReady.from = Snapshot::Now();
        }
        return false;
    }

  private:
    void CheckReady() {
        if (!fBootstrapStarted || !fConnection->text().endsWith(QStringLiteral(" - Ready")))
            return;
        fToReady.to = Snapshot::Now();
        fReadyWatch.stop();
        if (!fPollAfterReady) {
            Finish(true);
            return;
        }
        fConnectedWatch.start(1); // reading ends (status LED) and polling begins
    }

    void CheckConnected() {
        if (fForm->State() != StateConnected)
            return;
        fConnectedWatch.stop();
        fPolling.from = Snapshot::Now();
        QTimer::singleShot(PollingWindowMs, Qt::PreciseTimer, this, [this] {
            fPolling.to = Snapshot::Now();
            Finish(fForm->State() == StateConnected);
        });
    }

    void Finish(bool completed) {
        fCompleted = completed;
        fReadyWatch.stop();
        fConnectedWatch.stop();
        fGiveUp.stop();
        fForm->close(); // the state machine ends after its current pass and posts nothing
        fLoop.quit();   // takes effect once the bootstrap has returned to this loop
    }

    bool fPollAfterReady;
    std::unique_ptr<TMainForm> fForm;
    QLabel* fConnection = nullptr;
    QEventLoop fLoop;
    QTimer fReadyWatch;
    QTimer fConnectedWatch;
    QTimer fGiveUp;
    bool fBootstrapStarted = false;
    bool fCompleted = false;
    Stretch fToReady;
    Stretch fPolling;
};

// From the bootstrap to Ready. With the timer lowered by the tool the line's latency is the
// timer's from the opening on; the floor counts it so, and the row names both.
void MeasureReady(int personalities, std::uint32_t usbLatencyUs, bench::LatencyTimer timer) {
    const VC_Timing timing = bench::LineTiming(usbLatencyUs);
    bench::Runs runs;
    VC_Timing lowered = timing;
    for (int i = 0; i < ReadyRepetitions; ++i) {
        bench::SetUpLine(timing, bench::FixtureWithPersonalities(personalities), timer);
        TWindowSession session(false);
        if (!session.Run())
            throw std::runtime_error("the window never showed Ready");
        const Stretch& s = session.ToReady();
        lowered = bench::WithLatencyTimer(timing, s.to.latencyTimerMs);
        runs.Add(s.Wall(), s.ThreadCpu(), s.Waiting(), s.Calls(),
                 bench::FloorOfCapture(lowered, s.from.capture, s.to.capture, bench::WaitScope::StateMachine)
                     .TotalMs());
    }
    std::string latency = bench::LatencyText(timing);
    if (lowered.usb_latency_us != timing.usb_latency_us)
        latency += ", timer lowered to " + bench::LatencyText(lowered);
    bench::PrintRow(runs.ToRow("bootstrap to Ready, " + std::to_string(personalities) + " personalit" +
                                   (personalities == 1 ? "y" : "ies"),
                               latency));
}

int CountPolls(int first, int last) {
    int polls = 0;
    VC_Packet packet{};
    for (int i = first; i < last; ++i) {
        if (VC_CaptureGet(i, &packet) != 0 || packet.direction != VC_TO_FIXTURE)
            continue;
        const bench::RequestKind kind = bench::KindOf(packet);
        if (kind.rdm && !kind.broadcast && kind.cc == CC_DISCOVERY_COMMAND && kind.pid == PID_DISC_UN_MUTE)
            ++polls;
    }
    return polls;
}

void MeasurePolling(std::uint32_t usbLatencyUs) {
    const VC_Timing timing = bench::LineTiming(usbLatencyUs);
    bench::SetUpLine(timing, bench::FixtureWithPersonalities(8));
    TWindowSession session(true);
    if (!session.Run())
        throw std::runtime_error("polling did not last the whole window");
    const Stretch& s = session.Polling();
    bench::Row row;
    row.What = "polling a connected fixture for 10 s";
    row.Latency = bench::LatencyText(timing);
    row.WallMs = s.Wall();
    row.FloorMs =
        bench::FloorOfCapture(timing, s.from.capture, s.to.capture, bench::WaitScope::StateMachine).TotalMs();
    row.CpuMs = s.ThreadCpu();
    row.WaitingMs = s.Waiting();
    row.CpuShare = 100.0 * s.ProcessCpu() / s.Wall();
    row.D2XXCalls = s.Calls();
    row.PerSecond = CountPolls(s.from.capture, s.to.capture) * 1000.0 / s.Wall();
    bench::PrintRow(row);
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("QT_ENABLE_HIGHDPI_SCALING", "0"); // as the tool starts
    int qtArgc = 1;
    char* qtArgv[] = {argv[0], nullptr};
    QApplication app(qtArgc, qtArgv);
    QApplication::setQuitOnLastWindowClosed(false); // each session closes its window; the program goes on
    Themes::RegisterBuiltInThemes();
    Themes::SetStyleOrReport(QStringLiteral("Cobalt XEMedia"));

    bench::PrintHeaderUnlessRowsOnly(argc, argv);
    // --ready or --polling runs only that part.
    bool ready = false;
    bool polling = false;
    for (int i = 1; i < argc; ++i) {
        ready = ready || std::strcmp(argv[i], "--ready") == 0;
        polling = polling || std::strcmp(argv[i], "--polling") == 0;
    }
    if (!ready && !polling)
        ready = polling = true;
    try {
        for (const int personalities : {1, 8, 32}) {
            for (const std::uint32_t latency : {16000u, 1000u}) {
                if (ready)
                    MeasureReady(personalities, latency, bench::LatencyTimer::Kept);
            }
            if (ready)
                MeasureReady(personalities, 16000u, bench::LatencyTimer::LoweredByTheTool);
        }
        for (const std::uint32_t latency : {16000u, 1000u}) {
            if (polling)
                MeasurePolling(latency);
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "bench_window: %s\n", e.what());
        return EXIT_FAILURE;
    }
    return EXIT_SUCCESS;
}
