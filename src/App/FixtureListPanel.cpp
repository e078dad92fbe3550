#include "FixtureListPanel.h"

#include "TouchButton.h"

#include <QFont>
#include <QLabel>
#include <QScrollArea>
#include <QScrollBar>

#include <utility>

namespace {

constexpr int CaptionHeight = 40;
constexpr int RowHeight = 62;
constexpr int RowGap = 8;
constexpr int Margin = 8;
constexpr int IdentifyWidth = 124;
// Wide enough to be dragged with a finger.
constexpr int ScrollBarWidth = 40;
constexpr int LowestAddress = 1;
constexpr int HighestAddress = 512;

const QString kIdentifyOnLook = QStringLiteral("background-color: #f3a21c; color: #000000;");

QString ModelText(const TFixtureListRow& Row) {
    if (!Row.DeviceModelDescription.empty())
        return QString::fromStdString(Row.DeviceModelDescription);
    return QStringLiteral("Model ID 0x") +
           QStringLiteral("%1").arg(Row.DeviceModelID, 4, 16, QLatin1Char('0')).toUpper();
}

QString SlotsText(const TFixtureListRow& Row) {
    const int start = Row.DMX512StartAdr;
    const int footprint = Row.DMX512Footprint;
    if (start < LowestAddress || start > HighestAddress)
        return QStringLiteral("DMX none  (%1 channels)").arg(footprint);
    if (footprint == 0)
        return QStringLiteral("DMX %1  (0 channels)").arg(start);
    return QStringLiteral("DMX %1 - %2  (%3 channels)").arg(start).arg(start + footprint - 1).arg(footprint);
}

} // namespace

TFixtureListPanel::TFixtureListPanel(QWidget* parent, const QRect& r) : QWidget(parent) {
    setObjectName(QStringLiteral("FixtureList"));
    setFont(parent->font());
    setGeometry(r);
    // It lies over the fixture's controls and hides them whole.
    setAutoFillBackground(true);
    setAttribute(Qt::WA_StyledBackground);

    fCaption = new QLabel(this);
    fCaption->setObjectName(QStringLiteral("FixtureListCaption"));
    fCaption->setFont(font());
    fCaption->setGeometry(Margin, 0, r.width() - 2 * Margin, CaptionHeight);
    fCaption->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);

    fScroll = new QScrollArea(this);
    fScroll->setObjectName(QStringLiteral("FixtureListScroll"));
    fScroll->setGeometry(0, CaptionHeight, r.width(), r.height() - CaptionHeight);
    fScroll->setFrameShape(QFrame::NoFrame);
    fScroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    fScroll->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    fScroll->verticalScrollBar()->setFixedWidth(ScrollBarWidth);
    fScroll->setWidgetResizable(false);
    // The rows stand on the panel's own background.
    fScroll->viewport()->setObjectName(QStringLiteral("FixtureListViewport"));
    // A scroll bar a finger can hold, in the theme's colours.
    setStyleSheet(
        QStringLiteral(
            "#FixtureListScroll, #FixtureListViewport, #FixtureListRows { background: transparent; }"
            "#FixtureListScroll QScrollBar:vertical { width: %1px; background: #1b1e23; margin: 0px; }"
            "#FixtureListScroll QScrollBar::handle:vertical { background: #8a929e; min-height: 60px;"
            " border-radius: 4px; margin: 4px; }"
            "#FixtureListScroll QScrollBar::add-line:vertical, #FixtureListScroll "
            "QScrollBar::sub-line:vertical"
            " { height: 0px; }")
            .arg(ScrollBarWidth));
    hide();
}

void TFixtureListPanel::ShowEntries(const std::vector<TFixtureListEntry>& Entries) {
    fPicked.reset();
    fIdentifyTouched.reset();
    fIdentify.clear();
    delete fScroll->takeWidget();

    fCaption->setText(QStringLiteral("%1 fixtures on the line - touch one to set it up").arg(Entries.size()));
    const int height = static_cast<int>(Entries.size()) * (RowHeight + RowGap) + RowGap;
    // Room for the scroll bar whenever the rows need it.
    const bool scrolls = height > fScroll->height();
    const int width = fScroll->width() - (scrolls ? ScrollBarWidth : 0);
    fRows = new QWidget;
    fRows->setObjectName(QStringLiteral("FixtureListRows"));
    fRows->setFont(font());
    fRows->resize(width, height);
    for (std::size_t i = 0; i < Entries.size(); ++i)
        AddRow(static_cast<int>(i), Entries[i], RowGap + static_cast<int>(i) * (RowHeight + RowGap), width);
    fScroll->setWidget(fRows);
    show();
    raise();
}

void TFixtureListPanel::AddRow(int Entry, const TFixtureListEntry& E, int Top, int Width) {
    auto* pick = new TTouchButton;
    pick->setObjectName(QStringLiteral("bPickFixture%1").arg(Entry));
    const int pickWidth = Width - 3 * Margin - IdentifyWidth;
    pick->SetParams(
        fRows, TRect{Margin, Top, pickWidth, RowHeight}, RowText(E.Row),
        [this, Entry](QObject*, Qt::MouseButton, Qt::KeyboardModifiers, int, int) { fPicked = Entry; },
        nullptr);
    pick->setStyleSheet(QStringLiteral("QPushButton { text-align: left; padding-left: 10px; }"));
    pick->setFocusPolicy(Qt::NoFocus);

    if (E.Overlaps) {
        // The mark stands on the row's right end and lets touches through to the row.
        auto* mark = new QLabel(QStringLiteral("Overlaps"), pick);
        mark->setObjectName(QStringLiteral("lOverlaps%1").arg(Entry));
        QFont bold = pick->font();
        bold.setBold(true);
        mark->setFont(bold);
        mark->setStyleSheet(QStringLiteral("color: #ff5a4e; background: transparent;"));
        mark->setAttribute(Qt::WA_TransparentForMouseEvents);
        const int markWidth = mark->fontMetrics().horizontalAdvance(mark->text()) + 4;
        mark->setGeometry(pickWidth - markWidth - 10, RowHeight - mark->fontMetrics().height() - 8, markWidth,
                          mark->fontMetrics().height());
    }

    auto* identify = new TTouchButton;
    identify->setObjectName(QStringLiteral("bIdentify%1").arg(Entry));
    identify->SetParams(
        fRows, TRect{Width - Margin - IdentifyWidth, Top, IdentifyWidth, RowHeight},
        QStringLiteral("Identify"),
        [this, Entry](QObject*, Qt::MouseButton, Qt::KeyboardModifiers, int, int) {
            fIdentifyTouched = Entry;
        },
        nullptr);
    identify->setFocusPolicy(Qt::NoFocus);
    fIdentify.push_back(identify);
    ShowIdentifying(Entry, E.Identifying);
}

void TFixtureListPanel::ShowIdentifying(int Entry, bool On) {
    if (Entry < 0 || static_cast<std::size_t>(Entry) >= fIdentify.size())
        return;
    TTouchButton* b = fIdentify[static_cast<std::size_t>(Entry)];
    b->setProperty("identifying", On);
    b->setStyleSheet(On ? kIdentifyOnLook : QString());
}

std::optional<int> TFixtureListPanel::TakePicked() {
    return std::exchange(fPicked, std::nullopt);
}

std::optional<int> TFixtureListPanel::TakeIdentifyTouch() {
    return std::exchange(fIdentifyTouched, std::nullopt);
}

QString TFixtureListPanel::RowText(const TFixtureListRow& Row) {
    const QString first =
        QStringLiteral("%1   %2").arg(QString::fromStdString(UIDToString(Row.UID)), ModelText(Row));
    if (!Row.Read && Row.DMX512StartAdr == 0 && Row.DeviceModelID == 0)
        return first + QLatin1Char('\n') + QString::fromStdString(Row.Error);
    return first + QLatin1Char('\n') + SlotsText(Row);
}
