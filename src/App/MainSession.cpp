// The window's side of the fixture session: it runs the session on the open cable and shows what the
// session reports in the settings controls, the connection label, the cable label and the boxes.
#include "Main.h"

#include <QApplication>
#include <QComboBox>
#include <QCursor>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {

constexpr int StatusLedOnItem = 0;
constexpr int StatusLedOffItem = 1;

QString ToQString(const std::string& text) {
    return QString::fromStdString(text);
}

} // namespace

void TMainForm::StateMachine() {
    fSession->StateMachine(*ftd);
}

void TMainForm::ParkFocus() {
    bDummyFocus->setFocus();
}

void TMainForm::ShowConnection(const std::string& text) {
    lConnection->setText(ToQString(text));
}

void TMainForm::ShowCable(const std::string& text) {
    lRDM->setText(ToQString(text));
}

void TMainForm::ShowStartAddress(std::uint16_t Address) {
    leDMXAdr->setText(QString::number(Address));
}

void TMainForm::ShowFirmware(const std::string& Label) {
    leFirmware->setText(ToQString(Label));
}

void TMainForm::ClearModes() {
    cbDMXMode->clear();
}

void TMainForm::AddMode(int Number, const std::string& Description, std::uint16_t Slots) {
    // One pass over the pattern, so a "%" in the fixture's text stays as it is.
    cbDMXMode->addItem(QStringLiteral("%1. %2  (%3 channels)")
                           .arg(QString::number(Number), ToQString(Description), QString::number(Slots)));
}

void TMainForm::SelectMode(int Index) {
    cbDMXMode->setCurrentIndex(Index);
}

void TMainForm::ClearStatusLed() {
    cbStatusLed->clear();
}

void TMainForm::ShowStatusLed(bool On) {
    cbStatusLed->clear();
    cbStatusLed->addItem(QStringLiteral("On"));
    cbStatusLed->addItem(QStringLiteral("Off"));
    cbStatusLed->setCurrentIndex(On ? StatusLedOnItem : StatusLedOffItem);
    cbStatusLed->setEnabled(true);
}

void TMainForm::ShowHourGlass(bool Shown) {
    if (Shown)
        QApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
    else
        QApplication::restoreOverrideCursor();
}

void TMainForm::ShowError(const std::string& text) {
    ShowErrorBox(ToQString(text));
}

void TMainForm::ShowWarning(const std::string& text) {
    ShowWarningBox(ToQString(text));
}

std::optional<int> TMainForm::EnteredStartAddress() const {
    bool isNumber = false;
    const int address = leDMXAdr->text().toInt(&isNumber);
    if (!isNumber)
        return std::nullopt;
    return address;
}

int TMainForm::ChosenPersonality() const {
    return cbDMXMode->currentIndex() + 1;
}

std::optional<bool> TMainForm::ChosenStatusLed() const {
    const int item = cbStatusLed->currentIndex();
    if (item < 0)
        return std::nullopt;
    return item == StatusLedOnItem;
}

void TMainForm::Reconnect() {
    PostWMUser();
}
