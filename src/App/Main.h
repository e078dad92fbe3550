// The main window: cable bootstrap, the settings controls with their touch buttons, the stored
// default, and the window's side of the fixture session that runs nested inside the bootstrap.
#pragma once

#include "FTD2XXWrapper.h"
#include "FixtureSession.h"
#include "FixtureStates.h"
#include "RDMFixture.h"
#include "SessionWindow.h"
#include "TouchButton.h"

#include <QEvent>
#include <QWidget>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QAction;
class QComboBox;
class QLabel;
class QLineEdit;
class QMenuBar;
class QPushButton;
class QTimer;
class TFixtureListPanel;
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

class TMainForm : public QWidget, private TSessionWindow {
    Q_OBJECT
  public:
    explicit TMainForm(QWidget* parent = nullptr); // builds the controls, then FormCreate
    ~TMainForm() override;                         // FormDestroy

    // Read-only views for tests.
    std::uint32_t State() const override { return fState; }
    std::uint32_t StateControl() const override { return fStateControl; }
    const TRDMFixture* Fixture() const { return fSession->Fixture(); }
    const TFTD2XXWrapper* Wrapper() const { return ftd.get(); }
    const TDefault& Default() const { return fDefault; }

  protected:
    bool event(QEvent* e) override;           // dispatches TWMUserEvent to do_WM_USER
    void closeEvent(QCloseEvent* e) override; // FormCloseQuery

  private:
    friend class TMainFormProbe; // test access to the handlers and the repeat timer

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

    // The fixture session on the open cable (MainSession.cpp)
    void StateMachine();

    // What the session shows, enables and asks of the window (TSessionWindow, MainSession.cpp)
    void SetState(std::uint32_t State) override { fState = State; }
    void AddStateControl(std::uint32_t Bits) override { fStateControl |= Bits; }
    void ParkFocus() override;
    void ShowConnection(const std::string& Text) override;
    void ShowCable(const std::string& Text) override;
    void ShowStartAddress(std::uint16_t Address) override;
    void ShowFirmware(const std::string& Label) override;
    void ClearModes() override;
    void AddMode(int Number, const std::string& Description, std::uint16_t Slots) override;
    void SelectMode(int Index) override;
    void ClearStatusLed() override;
    void ShowStatusLed(bool On) override;
    void ShowHourGlass(bool Shown) override;
    void ShowError(const std::string& Text) override;
    void ShowWarning(const std::string& Text) override;
    std::optional<int> EnteredStartAddress() const override;
    int ChosenPersonality() const override;
    std::optional<bool> ChosenStatusLed() const override;
    void Reconnect() override;

    // The list of a line of several fixtures (TSessionWindow, MainFixtureList.cpp)
    void CreateFixtureList();
    void ShowFixtureList(const std::vector<TFixtureListEntry>& Entries) override;
    void ShowIdentifying(int Entry, bool On) override;
    void HideFixtureList() override;
    void OfferFixtureList(bool Offered) override;
    std::optional<int> TakePickedEntry() override;
    std::optional<int> TakeIdentifyTouch() override;

    // Message helpers (Main.cpp)
    void ProcessMessages() override; // delivers the waiting events, never waits for more
    void PostWMUser();               // posts TWMUserEvent(0, 0) to this window
    void ShowErrorBox(const QString& text);
    void ShowWarningBox(const QString& text);

    // Settings controls (MainSettings.cpp)
    void CreateTouchButtons();
    void SetControlsEnabled(bool enable, bool clear) override;
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
    std::unique_ptr<TFixtureSession> fSession; // holds the fixture record while it runs
    std::vector<QWidget*> fEnableList;         // does not own its controls

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
    // Only on a line of several fixtures: the list, and the button back to it.
    TFixtureListPanel* FixtureList = nullptr;
    TTouchButton* bFixtureList = nullptr;
};
