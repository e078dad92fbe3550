// The main window: cable bootstrap, the settings controls with their touch buttons, the stored
// default, and the fixture state machine that runs nested inside the bootstrap.
#pragma once

#include "ErrorExceptions.h"
#include "FTD2XXWrapper.h"
#include "FixtureStates.h"
#include "RDMFixture.h"
#include "RDM_Lib.h"
#include "TouchButton.h"

#include <QEvent>
#include <QWidget>

#include <cstdint>
#include <memory>
#include <vector>

class QAction;
class QComboBox;
class QLabel;
class QLineEdit;
class QMenuBar;
class QPushButton;
class QTimer;
class TShape;

// The window message that starts a bootstrap; posted, never sent.
extern const QEvent::Type WM_USER_EVENT;

class TWMUserEvent : public QEvent {
  public:
    TWMUserEvent(quintptr WParam, qintptr LParam);
    quintptr WParam;
    qintptr LParam;
};

// The settings remembered by "Store as default", in memory only.
struct TDefault {
    bool Valid = false;
    std::uint16_t DMXAdr = 0;
    std::int32_t Mode = 0;      // position in the DMX-mode list; -1 when nothing was selected
    std::int32_t StatusLed = 0; // position in the status-LED list; -1 when nothing was selected
    std::int32_t DMX2Adr = 0;   // start address of a second fixture behind the first; -1 when none fits
};

class TMainForm : public QWidget {
    Q_OBJECT
  public:
    explicit TMainForm(QWidget* parent = nullptr); // builds the controls, then FormCreate
    ~TMainForm() override;                         // FormDestroy

    // Read-only views for tests.
    std::uint32_t State() const { return fState; }
    std::uint32_t StateControl() const { return fStateControl; }
    const TRDMFixture* Fixture() const { return FixtureData.get(); }
    const TFTD2XXWrapper* Wrapper() const { return ftd.get(); }
    const TDefault& Default() const { return fDefault; }

  protected:
    bool event(QEvent* e) override;           // dispatches TWMUserEvent to do_WM_USER
    void closeEvent(QCloseEvent* e) override; // FormCloseQuery

  private:
    friend class TMainFormProbe;   // test access to the handlers and the repeat timer
    friend class TStateMachineRun; // one run of StateMachine, its working state (MainStateMachine.cpp)

    // Construction and lifetime (Main.cpp)
    void CreateControls();
    void FormCreate();
    void FormDestroy();
    void FormCloseQuery(bool& CanClose);
    void MenuActionExecute(QAction* Sender);
    void aAboutExecute();
    void aHelpExecute();

    // Bootstrap (Bootstrap.cpp)
    void do_WM_USER(quintptr WParam, qintptr LParam);
    bool AskRetryMissingCable();
    void ScheduleRebuild(); // posts WM_USER after a pause

    // Fixture state machine (MainStateMachine.cpp)
    void StateMachine();
    bool ExecuteRDMCommand(const TRDMCommand& Command, TRDMResponseData& Response);
    [[noreturn]] void RaiseRDMError(const TRDMCommand& Command, const TRDMResponseData& Response);

    // Message helpers (Main.cpp)
    void ProcessMessages(); // delivers the waiting events, never waits for more
    void PostWMUser();      // posts TWMUserEvent(0, 0) to this window
    void ShowErrorBox(const QString& text);
    void ShowWarningBox(const QString& text);

    // Settings controls (MainSettings.cpp)
    void CreateTouchButtons();
    void SetControlsEnabled(bool enable, bool clear);
    void TouchButtonMouseDown(QObject* Sender, Qt::MouseButton Button, Qt::KeyboardModifiers Shift, int X,
                              int Y);
    void TouchButtonMouseUp(QObject* Sender, Qt::MouseButton Button, Qt::KeyboardModifiers Shift, int X,
                            int Y);
    void StartRepeat();
    void RepeatTimerTick();
    void StoreDefault();
    void ApplyDefault(int address);

    std::unique_ptr<TFTD2XXWrapper> ftd;
    QString ftdSer;
    std::uint32_t fStateControl = 0;
    std::uint32_t fState = 0;
    QTimer* fRepeatTimer = nullptr;  // owned by the window; nil while no address button is held
    QTimer* fRebuildTimer = nullptr; // owned by the window; posts the next bootstrap after a pause
    std::int32_t fRepeatVal = 0;
    std::int32_t fRepeatDir = 0;
    TDefault fDefault;
    std::unique_ptr<TRDMFixture> FixtureData;
    std::vector<QWidget*> fEnableList; // does not own its controls

    QString fHelpFile;              // the help file found beside the executable at start
    bool fBootstrapRunning = false; // a bootstrap is on the stack (its state machine or a box of it)
    bool fWMUserHeldBack = false;   // a WM_USER arrived meanwhile; posted again when it returns

    // Regions and controls; each control's object name is its field name.
    QWidget* Panel2;
    QWidget* Panel1;
    QWidget* Panel3;
    QMenuBar* ActionMainMenuBar1;
    QAction* aExit;
    QAction* aHelp;
    QAction* aAbout;
    TShape* Shape2;
    QLabel* Image2;
    QPushButton* bDummyFocus;
    QLabel* Image1;
    TShape* Shape1;
    QLabel* lRDM;
    QLabel* lConnection;
    QLabel* Label3;
    QLineEdit* leFirmware;
    QLabel* leFirmwareLabel;
    QLineEdit* leDMXAdr;
    QLabel* leDMXAdrLabel;
    QLabel* Label1;
    QComboBox* cbDMXMode;
    QLabel* Label2;
    QComboBox* cbStatusLed;
    QWidget* Panel4; // placeholders of the last four buttons; released once the buttons stand
    QWidget* Panel5;
    QWidget* Panel6;
    QWidget* Panel7;
    TTouchButton* bIncrement = nullptr;
    TTouchButton* bDecrement = nullptr;
    TTouchButton* bSet = nullptr;
    TTouchButton* bStoreDefault = nullptr;
    TTouchButton* bSetDefault = nullptr;
    TTouchButton* bSetDefaultDMX2 = nullptr;
};
