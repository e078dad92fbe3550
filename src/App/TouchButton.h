// The large push button of the windows, made for touch screens: it acts when pressed, never on
// release, and a touch acts at once.
#pragma once

#include <QPushButton>

#include <functional>

// A rectangle record whose four fields hold left, top, width and height when passed to SetParams.
struct TRect {
    int Left = 0;
    int Top = 0;
    int Right = 0;
    int Bottom = 0;
};

// Mouse handler: sender, mouse button, modifier keys, x, y (in the button's coordinates).
using TMouseEvent =
    std::function<void(QObject* Sender, Qt::MouseButton Button, Qt::KeyboardModifiers Shift, int X, int Y)>;

class TTouchButton : public QPushButton {
    Q_OBJECT
  public:
    explicit TTouchButton(QWidget* owner = nullptr);

    // Sets the parent, the bounds (R holds left, top, width, height), the caption and the
    // mouse-down and mouse-up handlers, in that order. No click handler is installed.
    void SetParams(QWidget* aParent, const TRect& R, const QString& aCaption, TMouseEvent aOnDown,
                   TMouseEvent aOnUp);

    // True between a press and its release.
    bool IsHeld() const { return fHeld; }

  protected:
    void mousePressEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    bool event(QEvent* e) override;
    void changeEvent(QEvent* e) override;
    bool nativeEvent(const QByteArray& eventType, void* message, qintptr* result) override;

  private:
    void Down(Qt::MouseButton button, Qt::KeyboardModifiers shift, QPoint pos);
    void Up(Qt::MouseButton button, Qt::KeyboardModifiers shift, QPoint pos);

    TMouseEvent fOnMouseDown;
    TMouseEvent fOnMouseUp;
    bool fHeld = false;
};
