// Drives a window test from inside the window's own event processing.
//
// The bootstrap runs the fixture loop nested inside the WM_USER handler, and the loop pumps events
// itself; a test function waiting with QTRY_* therefore sits below that loop on the stack and
// cannot go on until the loop ends. So the steps of a scenario run from a repeating timer that fires
// inside whatever loop is pumping (the fixture loop, a modal box): each step waits for its
// condition, then runs its action. A step that does not come true within its time fails the
// scenario and closes the window, which ends the loop. The test function starts the runner and waits
// for Done() with QTRY_VERIFY_WITH_TIMEOUT, then checks Failure().
#pragma once

#include <QApplication>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <vector>

class TScenarioRunner : public QObject {
  public:
    // How long a step may take to come true. Generous: on a machine whose cores are busy with
    // something else (and more so under a sanitizer or Wine) the tool's own waits stretch a lot.
    static constexpr int kStepTimeoutMs = 60000;

    using TCondition = std::function<bool()>;
    using TAction = std::function<void()>;

    // `window` is closed when a step fails (nullptr: nothing to close).
    explicit TScenarioRunner(QWidget* window, int tickMs = 5) : fWindow(window) {
        fTimer.setInterval(tickMs);
        QObject::connect(&fTimer, &QTimer::timeout, this, [this] { Tick(); });
    }

    // Adds a step: waits up to timeoutMs for `condition`, then runs `action`.
    TScenarioRunner& Step(const QString& name, TCondition condition, TAction action = {},
                          int timeoutMs = kStepTimeoutMs) {
        fSteps.push_back({name, std::move(condition), std::move(action), timeoutMs});
        return *this;
    }

    // A step that waits for a modal message box and hands it to `action`.
    TScenarioRunner& OnMessageBox(const QString& name, std::function<void(QMessageBox*)> action,
                                  int timeoutMs = kStepTimeoutMs) {
        return Step(
            name, [] { return ActiveMessageBox() != nullptr; },
            [action = std::move(action)] { action(ActiveMessageBox()); }, timeoutMs);
    }

    void Start() {
        fIndex = 0;
        fDone = fSteps.empty();
        fStepClock.start();
        if (!fDone)
            fTimer.start();
    }

    // Fails the scenario from inside an action; the remaining steps are skipped.
    bool Expect(bool ok, const QString& what) {
        if (!ok)
            Fail(what);
        return ok;
    }

    bool Done() const { return fDone; }
    bool Failed() const { return !fFailure.isEmpty(); }
    QString Failure() const { return fFailure; }

    static QMessageBox* ActiveMessageBox() {
        return qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    }

  private:
    struct TStep {
        QString Name;
        TCondition Condition;
        TAction Action;
        int TimeoutMs;
    };

    void Tick() {
        if (fDone || fIndex >= fSteps.size())
            return;
        const TStep& step = fSteps[fIndex];
        if (step.Condition()) {
            // Move on before acting: an action that opens a modal box returns only when the box
            // closes, and the box's own loop fires this timer for the steps that answer it.
            const std::size_t index = fIndex++;
            fStepClock.restart();
            if (fIndex >= fSteps.size())
                fTimer.stop();
            if (fSteps[index].Action)
                fSteps[index].Action();
            if (fIndex >= fSteps.size())
                fDone = true;
        } else if (fStepClock.elapsed() > step.TimeoutMs) {
            Fail(QStringLiteral("step '%1' did not come true within %2 ms")
                     .arg(step.Name)
                     .arg(step.TimeoutMs));
        }
    }

    void Fail(const QString& what) {
        if (fFailure.isEmpty())
            fFailure = what;
        // Answer whatever box is open, then close the window so that its loop ends.
        if (QMessageBox* box = ActiveMessageBox())
            box->reject();
        if (fWindow)
            fWindow->close();
        Finish();
    }

    void Finish() {
        fDone = true;
        fTimer.stop();
    }

    QPointer<QWidget> fWindow;
    QTimer fTimer;
    QElapsedTimer fStepClock;
    std::vector<TStep> fSteps;
    std::size_t fIndex = 0;
    bool fDone = false;
    QString fFailure;
};

// Starts the scenario and waits up to timeoutMs for its end; a failed step fails the test function.
#define ZYL_RUN_SCENARIO(runner, timeoutMs)                                                                  \
    do {                                                                                                     \
        (runner).Start();                                                                                    \
        QTRY_VERIFY_WITH_TIMEOUT((runner).Done(), (timeoutMs));                                              \
        QVERIFY2(!(runner).Failed(), qPrintable((runner).Failure()));                                        \
    } while (false)
