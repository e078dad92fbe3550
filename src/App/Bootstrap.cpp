// The connection bootstrap: on every WM_USER (0, 0) a fresh cable wrapper binds the driver, lists
// the cables, opens the first one and hands over to the fixture state machine.
#include "BoxText.h"
#include "Main.h"

#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include <exception>
#include <utility>

namespace {

constexpr int RebuildPauseMs = 1000;

const QString kMissingCableText = QStringLiteral(
    "Unable to locate ZYL USB/DMX cable\r"
    "Please check that a ZYL USB/DMX cable is connected and not in use by another application");

// Marks a bootstrap as running for as long as it is on the stack.
class TRunningFlag {
  public:
    explicit TRunningFlag(bool& flag) : fFlag(flag) { fFlag = true; }
    ~TRunningFlag() { fFlag = false; }
    TRunningFlag(const TRunningFlag&) = delete;
    TRunningFlag& operator=(const TRunningFlag&) = delete;

  private:
    bool& fFlag;
};

} // namespace

bool TMainForm::AskRetryMissingCable() {
    // No parent: the box stands centred on the screen.
    QMessageBox box(QMessageBox::Critical, QStringLiteral("Error"), BoxText(kMissingCableText),
                    QMessageBox::Retry | QMessageBox::Cancel);
    box.setObjectName(QStringLiteral("MissingCableBox"));
    return box.exec() == QMessageBox::Retry;
}

void TMainForm::ScheduleRebuild() {
    if (fRebuildTimer == nullptr) {
        fRebuildTimer = new QTimer(this);
        fRebuildTimer->setObjectName(QStringLiteral("fRebuildTimer"));
        fRebuildTimer->setSingleShot(true);
        fRebuildTimer->setInterval(RebuildPauseMs);
        connect(fRebuildTimer, &QTimer::timeout, this, &TMainForm::PostWMUser);
    }
    fRebuildTimer->start();
}

void TMainForm::do_WM_USER(quintptr WParam, qintptr LParam) {
    if (WParam != 0 || LParam != 0)
        return;
    // A closing window starts no new connection.
    if ((fStateControl & ControlClosing) != 0)
        return;
    // One bootstrap never starts inside another: a WM_USER delivered while one runs (by the error
    // box it shows after the state machine's exit has posted the next one) waits until it returns.
    if (fBootstrapRunning) {
        fWMUserHeldBack = true;
        return;
    }
    {
        TRunningFlag running(fBootstrapRunning);

        bDummyFocus->setFocus();
        ftdSer.clear();
        std::exchange(ftd, nullptr).reset();
        ftd = std::make_unique<TFTD2XXWrapper>();

        try {
            ftd->Initialize();
            ftd->ScanDevices();
            if (ftd->DeviceCount() == 0) {
                if (AskRetryMissingCable())
                    PostWMUser();
            } else if (!ftd->OpenAvailableInterfaceByIndex(0)) {
                // Gone since the listing, or held by another program: there is no line to talk to.
                // Rebuilt from scratch like any failed cable, but at a steady pace, so a cable that
                // stays unavailable costs neither the machine nor the window's answers.
                lRDM->setText(QStringLiteral("No device"));
                lRDM->show();
                ScheduleRebuild();
            } else {
                ftdSer = QStringLiteral("%1 %2").arg(QString::fromStdString(ftd->GetDeviceDescription(0)),
                                                     QString::fromStdString(ftd->GetDeviceSerialNo(0)));
                ftd->SetDMXStreamDisabled(true);
                lRDM->setText(ftdSer);
                lRDM->show();
                fStateControl = 0;
                fState = StateDiscovery;
                StateMachine();
            }
        } catch (const std::exception& e) {
            ShowErrorBox(QString::fromStdString(e.what()));
        } catch (...) {
            ShowErrorBox(QStringLiteral("Unknown error"));
        }
    }
    if (std::exchange(fWMUserHeldBack, false) && (fStateControl & ControlClosing) == 0)
        PostWMUser();
}
