// The window's side of a line of several fixtures: the list over the fixture's controls, and the
// button over the picture that brings it back once a fixture is picked.
#include "FixtureListPanel.h"
#include "Main.h"

namespace {

// Below the menu, down to the maker's strip: the picture and the settings.
const QRect kListPlace(0, 25, 576, 590);
// In the picture's lower right corner, clear of the settings.
const TRect kBackPlace{420, 214, 146, 52};

} // namespace

void TMainForm::CreateFixtureList() {
    FixtureList = new TFixtureListPanel(this, kListPlace);
    bFixtureList = new TTouchButton(this);
    bFixtureList->setObjectName(QStringLiteral("bFixtureList"));
    bFixtureList->SetParams(
        Panel2, kBackPlace, QStringLiteral("Fixture list"),
        [this](QObject*, Qt::MouseButton, Qt::KeyboardModifiers, int, int) {
            if (fState == StateConnected)
                fState = StateListing;
        },
        nullptr);
    bFixtureList->setFocusPolicy(Qt::NoFocus);
    bFixtureList->hide();
}

void TMainForm::ShowFixtureList(const std::vector<TFixtureListEntry>& Entries) {
    FixtureList->ShowEntries(Entries);
}

void TMainForm::ShowIdentifying(int Entry, bool On) {
    FixtureList->ShowIdentifying(Entry, On);
}

void TMainForm::HideFixtureList() {
    FixtureList->hide();
}

void TMainForm::OfferFixtureList(bool Offered) {
    bFixtureList->setVisible(Offered);
}

std::optional<int> TMainForm::TakePickedEntry() {
    return FixtureList->TakePicked();
}

std::optional<int> TMainForm::TakeIdentifyTouch() {
    return FixtureList->TakeIdentifyTouch();
}
