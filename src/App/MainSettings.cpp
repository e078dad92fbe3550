// The settings controls of the main window: the six touch buttons, enabling them as a group, the
// auto-repeat of "+" and "-", and the stored default with its two recall buttons.
#include "Main.h"

#include <QComboBox>
#include <QLineEdit>
#include <QTimer>

#include <algorithm>
#include <cstdlib>
#include <utility>

void TMainForm::CreateTouchButtons() {
    const TMouseEvent down = [this](QObject* s, Qt::MouseButton b, Qt::KeyboardModifiers k, int x, int y) {
        TouchButtonMouseDown(s, b, k, x, y);
    };
    const TMouseEvent up = [this](QObject* s, Qt::MouseButton b, Qt::KeyboardModifiers k, int x, int y) {
        TouchButtonMouseUp(s, b, k, x, y);
    };
    const auto make = [&](const char* name, const TRect& r, const QString& caption) {
        auto* b = new TTouchButton(this);
        b->setObjectName(QString::fromLatin1(name));
        b->SetParams(Panel3, r, caption, down, up);
        return b;
    };
    const auto placeOf = [](const QWidget* placeholder) {
        const QRect g = placeholder->geometry();
        return TRect{g.left(), g.top(), g.width(), g.height()};
    };

    bIncrement = make("bIncrement", TRect{270, 65, 50, 45}, QStringLiteral("+"));
    bDecrement = make("bDecrement", TRect{210, 65, 50, 45}, QStringLiteral("-"));
    bSet = make("bSet", placeOf(Panel4), QStringLiteral("Set"));
    bStoreDefault = make("bStoreDefault", placeOf(Panel5), QStringLiteral("Store as default"));
    bSetDefault = make("bSetDefault", placeOf(Panel6), QStringLiteral("Set default DMX-1"));
    bSetDefaultDMX2 = make("bSetDefaultDMX2", placeOf(Panel7), QStringLiteral("Set default DMX-2"));

    fEnableList = {bIncrement,      bDecrement, bSet,      bStoreDefault, bSetDefault,
                   bSetDefaultDMX2, leDMXAdr,   cbDMXMode, cbStatusLed};

    for (QWidget** placeholder : {&Panel4, &Panel5, &Panel6, &Panel7})
        delete std::exchange(*placeholder, nullptr);

    // The tab key cycles through these, skipping disabled ones.
    QWidget* const order[] = {bDummyFocus, leDMXAdr, cbDMXMode,     cbStatusLed, bDecrement,
                              bIncrement,  bSet,     bStoreDefault, bSetDefault, bSetDefaultDMX2};
    for (std::size_t i = 0; i + 1 < std::size(order); ++i)
        setTabOrder(order[i], order[i + 1]);
}

void TMainForm::SetControlsEnabled(bool enable, bool clear) {
    for (QWidget* control : fEnableList)
        control->setEnabled(enable);
    if (clear && !enable) {
        leDMXAdr->clear();
        leFirmware->clear();
    }
    if (!fDefault.Valid)
        bSetDefault->setEnabled(false);
    if (!fDefault.Valid || fDefault.DMX2Adr <= 0)
        bSetDefaultDMX2->setEnabled(false);
}

void TMainForm::TouchButtonMouseDown(QObject* Sender, Qt::MouseButton, Qt::KeyboardModifiers, int, int) {
    if (Sender == bIncrement) {
        fRepeatDir = 1;
        StartRepeat();
    } else if (Sender == bDecrement) {
        fRepeatDir = -1;
        StartRepeat();
    } else if (Sender == bSet) {
        fState = StateWriting;
    } else if (Sender == bStoreDefault) {
        StoreDefault();
    } else if (Sender == bSetDefault) {
        if (fDefault.Valid)
            ApplyDefault(fDefault.DMXAdr);
    } else if (Sender == bSetDefaultDMX2) {
        if (fDefault.Valid && fDefault.DMX2Adr >= 0)
            ApplyDefault(fDefault.DMX2Adr);
    }
}

void TMainForm::TouchButtonMouseUp(QObject*, Qt::MouseButton, Qt::KeyboardModifiers, int, int) {
    // Ends any repetition. Qt releases the implicit mouse grab by itself.
    delete std::exchange(fRepeatTimer, nullptr);
}

void TMainForm::StartRepeat() {
    // A second press while one is held (a touch that also arrives as a mouse press, or the other
    // direction) keeps the running repetition; only the direction set just before applies.
    if (fRepeatTimer != nullptr)
        return;
    fRepeatTimer = new QTimer(this);
    fRepeatTimer->setObjectName(QStringLiteral("fRepeatTimer"));
    fRepeatTimer->setInterval(500);
    fRepeatVal = 1;
    fRepeatTimer->start();
    RepeatTimerTick(); // the first step happens on the press itself
    connect(fRepeatTimer, &QTimer::timeout, this, &TMainForm::RepeatTimerTick);
}

void TMainForm::RepeatTimerTick() {
    if (fRepeatTimer == nullptr)
        return;
    // Accelerate: shorten the interval to 50 ms, then grow the step up to 10.
    const int interval = fRepeatTimer->interval();
    if (interval > 100)
        fRepeatTimer->setInterval(interval - 100);
    else if (interval > 50)
        fRepeatTimer->setInterval(50);
    else if (std::abs(fRepeatVal) < 10)
        ++fRepeatVal;

    bool isNumber = false;
    int address = leDMXAdr->text().toInt(&isNumber);
    if (!isNumber)
        address = 0;
    address = std::clamp(address + fRepeatVal * fRepeatDir, 1, 512);
    leDMXAdr->setText(QString::number(address));
}

void TMainForm::StoreDefault() {
    fDefault.Valid = true;
    bool isNumber = false;
    const int typed = leDMXAdr->text().toInt(&isNumber);
    fDefault.DMXAdr = static_cast<std::uint16_t>(isNumber ? typed : 1);
    fDefault.Mode = cbDMXMode->currentIndex();
    fDefault.StatusLed = cbStatusLed->currentIndex();

    fDefault.DMX2Adr = -1;
    const TRDMFixture* fixture = fSession->Fixture();
    if (fDefault.Mode >= 0 && fixture != nullptr) {
        // A mode the personality list does not describe gives no second address.
        const auto& personalities = fixture->fPersonalityDescriptionList;
        const auto mode = static_cast<std::size_t>(fDefault.Mode);
        if (mode < personalities.size() && personalities[mode] != nullptr) {
            const int footprint = personalities[mode]->DMX512SlotsRequired;
            if (fDefault.DMXAdr + 2 * footprint <= 512)
                fDefault.DMX2Adr = fDefault.DMXAdr + footprint;
        }
    }
    SetControlsEnabled(true, false);
}

void TMainForm::ApplyDefault(int address) {
    leDMXAdr->setText(QString::number(address));
    if (fDefault.Mode < cbDMXMode->count())
        cbDMXMode->setCurrentIndex(fDefault.Mode); // a stored -1 removes the selection
    if (fDefault.StatusLed >= 0 && fDefault.StatusLed < cbStatusLed->count())
        cbStatusLed->setCurrentIndex(fDefault.StatusLed);
    fState = StateWriting;
}
