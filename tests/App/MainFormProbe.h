// Test access to the main window's private handlers and fields, and a window that stays idle: the
// bootstrap posted at creation is withdrawn, so no cable is looked for.
#pragma once

#include "FixtureSessionProbe.h"
#include "Main.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QLineEdit>
#include <QTimer>

#include <memory>

class TMainFormProbe {
  public:
    explicit TMainFormProbe(TMainForm& form) : f(form) {}

    // A window whose bootstrap will not run.
    static std::unique_ptr<TMainForm> IdleForm() {
        auto form = std::make_unique<TMainForm>();
        QCoreApplication::removePostedEvents(form.get(), WM_USER_EVENT);
        return form;
    }

    QTimer* RepeatTimer() const { return f.fRepeatTimer; }
    int RepeatVal() const { return f.fRepeatVal; }
    int RepeatDir() const { return f.fRepeatDir; }
    // One event of the repeat timer, as if its interval had passed.
    void FireRepeatTimer() { f.RepeatTimerTick(); }

    void SetControlsEnabled(bool enable, bool clear) { f.SetControlsEnabled(enable, clear); }
    void SetState(std::uint32_t state) { f.fState = state; }
    void SetFixture(std::unique_ptr<TRDMFixture> fixture) {
        TFixtureSessionProbe::SetFixture(*f.fSession, std::move(fixture));
    }
    const std::vector<QWidget*>& EnableList() const { return f.fEnableList; }
    void DoWMUser(quintptr WParam, qintptr LParam) { f.do_WM_USER(WParam, LParam); }
    void PostWMUser() { f.PostWMUser(); }
    const QString& HelpFile() const { return f.fHelpFile; }

    // The window as the fixture loop leaves it when a fixture is ready: the given personalities in the
    // mode list and the record, "On"/"Off" in the LED list, the address field filled, controls enabled.
    struct TPersonality {
        std::uint16_t Footprint;
        const char* Name;
    };
    void ShowReadyFixture(int address, std::initializer_list<TPersonality> personalities, int mode, int led) {
        auto fixture = std::make_unique<TRDMFixture>();
        auto* modes = f.cbDMXMode;
        modes->clear();
        int i = 1;
        for (const TPersonality& p : personalities) {
            fixture->AddPersonalityDescription(p.Footprint, p.Name);
            modes->addItem(QStringLiteral("%1. %2  (%3 channels)")
                               .arg(i++)
                               .arg(QString::fromLatin1(p.Name))
                               .arg(p.Footprint));
        }
        modes->setCurrentIndex(mode);
        f.cbStatusLed->clear();
        f.cbStatusLed->addItems({QStringLiteral("On"), QStringLiteral("Off")});
        f.cbStatusLed->setCurrentIndex(led);
        f.leDMXAdr->setText(QString::number(address));
        SetFixture(std::move(fixture));
        f.SetControlsEnabled(true, false);
    }

  private:
    TMainForm& f;
};
