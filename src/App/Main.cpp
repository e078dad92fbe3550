#include "Main.h"

#include "About.h"
#include "AppResources.h"
#include "BoxText.h"
#include "Fonts.h"
#include "Help.h"
#include "Shape.h"
#include "Themes.h"
#include "Utils.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPixmap>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QScreen>

#include <utility>

const QEvent::Type WM_USER_EVENT = static_cast<QEvent::Type>(QEvent::registerEventType());

TWMUserEvent::TWMUserEvent(quintptr WParam, qintptr LParam)
    : QEvent(WM_USER_EVENT), WParam(WParam), LParam(LParam) {}

namespace {

const QString kNoticeLine = QStringLiteral("ZYL Lighting - for service use only");

// Every control gets its font set explicitly: under a style sheet Qt does not pass fonts on from
// parent to child.
template <typename T> T* Make(QWidget* parent, const char* name, const QRect& r) {
    auto* w = new T(parent);
    w->setObjectName(QString::fromLatin1(name));
    w->setFont(parent->font());
    w->setGeometry(r);
    return w;
}

QLabel* MakeLabel(QWidget* parent, const char* name, const QRect& r, const QString& text,
                  Qt::Alignment align = Qt::AlignRight | Qt::AlignVCenter) {
    auto* l = Make<QLabel>(parent, name, r);
    l->setText(text);
    l->setAlignment(align);
    // A right-aligned caption wider than its place (a substitute font) grows to the left, so it is
    // shown whole and still ends where its control begins.
    const int needed = l->fontMetrics().horizontalAdvance(text);
    if ((align & Qt::AlignRight) && needed > r.width())
        l->setGeometry(r.right() + 1 - needed, r.top(), needed, r.height());
    return l;
}

// The label attached to the left of an edit field, its right edge 3 pixels before the field,
// centred on the field's height.
QLabel* AttachLabel(QLineEdit* edit, const char* name, const QString& text) {
    auto* l = new QLabel(text, edit->parentWidget());
    l->setObjectName(QString::fromLatin1(name));
    l->setFont(edit->font());
    l->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    const int h = l->fontMetrics().height();
    const int w = qMax(l->fontMetrics().horizontalAdvance(text), 1);
    l->setGeometry(edit->x() - 3 - w, edit->y() + (edit->height() - h) / 2, w, h);
    return l;
}

} // namespace

TMainForm::TMainForm(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      fSession(std::make_unique<TFixtureSession>(static_cast<TSessionWindow&>(*this))) {
    InitAppResources();
    CreateControls();
    FormCreate();
}

TMainForm::~TMainForm() {
    FormDestroy();
}

void TMainForm::CreateControls() {
    setObjectName(QStringLiteral("MainForm"));
    setFont(TahomaFont(16));
    setFixedSize(576, 645);
    // The theme paints the window in its button-face colour; without a theme the palette does.
    setAttribute(Qt::WA_StyledBackground);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, pal.color(QPalette::Button));
    setPalette(pal);
    setAutoFillBackground(true);
    if (const QScreen* s = screen())
        move(s->availableGeometry().center() - rect().center());

    // Top region: menu, product picture.
    Panel2 = Make<QWidget>(this, "Panel2", QRect(0, 0, 576, 299));
    ActionMainMenuBar1 = Make<QMenuBar>(Panel2, "ActionMainMenuBar1", QRect(0, 0, 576, 25));
    // A menu bar outside a layout sizes itself to its contents on every style change; it keeps 25.
    ActionMainMenuBar1->setFixedHeight(25);
    ActionMainMenuBar1->setFont(SegoeUIFont(12));
    QPalette menuPal = ActionMainMenuBar1->palette();
    menuPal.setColor(QPalette::ButtonText, Qt::black);
    menuPal.setColor(QPalette::WindowText, Qt::black);
    ActionMainMenuBar1->setPalette(menuPal);
    aExit = new QAction(QStringLiteral("&Exit"), this);
    aExit->setObjectName(QStringLiteral("aExit"));
    aHelp = new QAction(QStringLiteral("&Help"), this);
    aHelp->setObjectName(QStringLiteral("aHelp"));
    aAbout = new QAction(QStringLiteral("&About"), this);
    aAbout->setObjectName(QStringLiteral("aAbout"));
    QMenu* fileMenu = ActionMainMenuBar1->addMenu(QStringLiteral("&File"));
    fileMenu->setObjectName(QStringLiteral("FileMenu"));
    fileMenu->addAction(aExit);
    QMenu* helpMenu = ActionMainMenuBar1->addMenu(QStringLiteral("&Help"));
    helpMenu->setObjectName(QStringLiteral("HelpMenu"));
    helpMenu->addAction(aHelp);
    helpMenu->addAction(aAbout);
    connect(aExit, &QAction::triggered, this, [this] { MenuActionExecute(aExit); });
    connect(aHelp, &QAction::triggered, this, [this] { aHelpExecute(); });
    connect(aAbout, &QAction::triggered, this, [this] { aAboutExecute(); });

    Shape2 = Make<TShape>(Panel2, "Shape2", QRect(0, 25, 576, 274));
    Image2 = Make<QLabel>(Panel2, "Image2", QRect(0, 25, 576, 274));
    Image2->setAlignment(Qt::AlignCenter); // centred, not scaled: the picture's extra rows are cut off
    Image2->setPixmap(QPixmap(QStringLiteral(":/art/fixture.png")));
    bDummyFocus = Make<QPushButton>(Panel2, "bDummyFocus", QRect(-400, 232, 75, 25));

    // Bottom region: maker's logo and the cable in use.
    Panel1 = Make<QWidget>(this, "Panel1", QRect(0, 615, 576, 30));
    Image1 = Make<QLabel>(Panel1, "Image1", QRect(0, 0, 132, 30));
    Image1->setScaledContents(true);
    Image1->setPixmap(QPixmap(QStringLiteral(":/art/logo.bmp")));
    Shape1 = Make<TShape>(Panel1, "Shape1", QRect(132, 0, 444, 30));
    lRDM = new QLabel(Panel1);
    lRDM->setObjectName(QStringLiteral("lRDM"));
    lRDM->setFont(TahomaFont(11));
    // The label spans the free part of the strip with its text right-aligned, so the text's right
    // edge stays at 564 whatever sets it.
    lRDM->setAlignment(Qt::AlignRight | Qt::AlignTop);
    lRDM->setGeometry(140, 9, 564 - 140, lRDM->fontMetrics().height());
    lRDM->setEnabled(false);

    // Settings region.
    Panel3 = Make<QWidget>(this, "Panel3", QRect(0, 299, 576, 316));
    lConnection = MakeLabel(Panel3, "lConnection", QRect(0, 0, 576, 19), QString(), Qt::AlignCenter);
    lConnection->setEnabled(false);
    Label3 = MakeLabel(Panel3, "Label3", QRect(7, 25, 141, 19), QStringLiteral("Firmware version"));
    leFirmware = Make<QLineEdit>(Panel3, "leFirmware", QRect(154, 22, 405, 27));
    leFirmware->setReadOnly(true);
    leFirmware->setEnabled(false);
    leFirmware->setFocusPolicy(Qt::NoFocus);
    leFirmwareLabel = AttachLabel(leFirmware, "leFirmwareLabel", QStringLiteral("leFirmware"));
    leDMXAdr = Make<QLineEdit>(Panel3, "leDMXAdr", QRect(113, 75, 87, 27));
    leDMXAdr->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    leDMXAdr->setMaxLength(3);
    leDMXAdr->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), leDMXAdr));
    leDMXAdrLabel = AttachLabel(leDMXAdr, "leDMXAdrLabel", QStringLiteral("DMX Adr"));
    Label1 = MakeLabel(Panel3, "Label1", QRect(20, 121, 87, 19), QStringLiteral("DMX mode"));
    cbDMXMode = Make<QComboBox>(Panel3, "cbDMXMode", QRect(113, 119, 446, 27));
    cbDMXMode->setMaxVisibleItems(12);
    Label2 = MakeLabel(Panel3, "Label2", QRect(19, 161, 88, 19), QStringLiteral("Status LED"));
    cbStatusLed = Make<QComboBox>(Panel3, "cbStatusLed", QRect(113, 159, 120, 27));
    Panel4 = Make<QWidget>(Panel3, "Panel4", QRect(16, 203, 544, 41));
    Panel5 = Make<QWidget>(Panel3, "Panel5", QRect(16, 256, 150, 41));
    Panel6 = Make<QWidget>(Panel3, "Panel6", QRect(173, 256, 190, 41));
    Panel7 = Make<QWidget>(Panel3, "Panel7", QRect(370, 256, 190, 41));
}

void TMainForm::FormCreate() {
    // Drop-down menus take the window's font.
    for (QMenu* menu : ActionMainMenuBar1->findChildren<QMenu*>())
        menu->setFont(font());
    // The menu bar is drawn inside the window, by the active theme, on every platform.
    ActionMainMenuBar1->setNativeMenuBar(false);

    if (!Themes::TrySetStyle(QStringLiteral("ZYL01"))) {
        const QString file = QString::fromStdString(ExeFolder()) + QStringLiteral("ZYLStyle.vsf");
        if (const auto name = Themes::LoadThemeFile(file))
            Themes::TrySetStyle(*name);
    }

    lRDM->hide();
    leFirmwareLabel->clear();
    lConnection->clear();

    CreateTouchButtons();
    CreateFixtureList();
    SetControlsEnabled(false, true);

    const QString helpFile = HelpFileForExecutable(QCoreApplication::applicationFilePath());
    if (QFileInfo::exists(helpFile))
        fHelpFile = helpFile;

    PostWMUser();
    setWindowTitle(QStringLiteral("ZYL VEK RDM Tool"));
}

void TMainForm::FormDestroy() {
    std::exchange(ftd, nullptr).reset();
    fEnableList.clear();
}

void TMainForm::FormCloseQuery(bool& CanClose) {
    (void)CanClose; // the window always agrees to close
    fStateControl |= ControlClosing;
}

void TMainForm::closeEvent(QCloseEvent* e) {
    bool canClose = true;
    FormCloseQuery(canClose);
    if (canClose)
        e->accept();
    else
        e->ignore();
}

void TMainForm::MenuActionExecute(QAction* Sender) {
    if (Sender == aExit)
        close();
}

void TMainForm::aAboutExecute() {
    // Owned by the window, like every box shown before it.
    auto* about = new TAboutForm(this);
    about->Label1->setText(QStringLiteral("ZYL VEK RDM Tool"));
    about->Label2->setText(
        QStringLiteral("Version:%1").arg(QString::fromStdString(VersionToString(ApplicationVersion))));
    about->Label3->setText(kNoticeLine);
    about->exec();
}

void TMainForm::aHelpExecute() {
    const QString helpFile = HelpFileForExecutable(QCoreApplication::applicationFilePath());
    if (!QFileInfo::exists(helpFile)) {
        ShowErrorBox(QStringLiteral("Help file %1 not found").arg(QDir::toNativeSeparators(helpFile)));
        return;
    }
    fHelpFile = helpFile;
    ShowHelpTopic(this, fHelpFile, QStringLiteral("Introduction"));
}

bool TMainForm::event(QEvent* e) {
    if (e->type() == WM_USER_EVENT) {
        const auto* msg = static_cast<TWMUserEvent*>(e);
        do_WM_USER(msg->WParam, msg->LParam);
        return true;
    }
    return QWidget::event(e);
}

void TMainForm::ProcessMessages() {
    QCoreApplication::processEvents();
}

void TMainForm::PostWMUser() {
    QCoreApplication::postEvent(this, new TWMUserEvent(0, 0));
}

void TMainForm::ShowErrorBox(const QString& text) {
    QMessageBox box(QMessageBox::Critical, QStringLiteral("Error"), BoxText(text), QMessageBox::Ok, this);
    box.exec();
}

void TMainForm::ShowWarningBox(const QString& text) {
    QMessageBox box(QMessageBox::Warning, QStringLiteral("Warning"), BoxText(text), QMessageBox::Ok, this);
    box.exec();
}
