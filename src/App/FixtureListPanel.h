// The list of the fixtures on a line of several: a large row per fixture, touched to pick it, with
// its Identify button beside it; fixtures whose DMX slots overlap another's are marked. Like every
// button of the window, a row and its Identify act on the press.
#pragma once

#include "SessionWindow.h"

#include <QWidget>

#include <optional>
#include <vector>

class QLabel;
class QScrollArea;
class TTouchButton;

class TFixtureListPanel : public QWidget {
    Q_OBJECT
  public:
    TFixtureListPanel(QWidget* parent, const QRect& r);

    // Replaces the rows by one per entry, in the entries' order.
    void ShowEntries(const std::vector<TFixtureListEntry>& Entries);
    void ShowIdentifying(int Entry, bool On);
    // The touches since the last call, each taken once.
    std::optional<int> TakePicked();
    std::optional<int> TakeIdentifyTouch();

    // What a row shows, in its two lines: "MMMM:DDDDDDDD   model" and the DMX slots.
    static QString RowText(const TFixtureListRow& Row);

  private:
    void AddRow(int Entry, const TFixtureListEntry& E, int Top, int Width);

    QLabel* fCaption = nullptr;
    QScrollArea* fScroll = nullptr;
    QWidget* fRows = nullptr;
    std::vector<TTouchButton*> fIdentify;
    std::optional<int> fPicked;
    std::optional<int> fIdentifyTouched;
};
