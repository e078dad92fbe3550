// The About box: the tool's name, its version and the maker's notice line. A press anywhere in
// the box closes it.
#pragma once

#include <QDialog>

#include <cstdint>

class QFrame;
class QLabel;
class TShape;
class TTouchButton;

// The tool's own version: major 1, minor 1, build 0.
inline constexpr std::uint32_t ApplicationVersion = 0x10100;

class TAboutForm : public QDialog {
    Q_OBJECT
  public:
    // The modal result of a press in the box.
    static constexpr int mrCancel = 2;

    explicit TAboutForm(QWidget* owner);

    QWidget* Panel2;
    QLabel* Label1;
    QLabel* Label2;
    QLabel* Label3;
    QWidget* Panel1;
    TShape* Shape1;
    QWidget* Panel3;
    TTouchButton* bOk = nullptr;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;

  private:
    void FormCreate();
    void Label1MouseDown();
};
