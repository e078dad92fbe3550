#include "TouchButton.h"

#include <QMouseEvent>
#include <QTouchEvent>

#ifdef _WIN32
#include <windows.h>
#endif

TTouchButton::TTouchButton(QWidget* owner) : QPushButton(owner)
{
    // A touch is taken as a touch, not as the system's emulated (and delayed) mouse press.
    setAttribute(Qt::WA_AcceptTouchEvents);
#ifdef _WIN32
    // The touch query below is sent to a window handle; the button needs one of its own.
    setAttribute(Qt::WA_NativeWindow);
#endif
}

void TTouchButton::SetParams(QWidget* aParent, const TRect& R, const QString& aCaption,
                             TMouseEvent aOnDown, TMouseEvent aOnUp)
{
    setParent(aParent);
    if (aParent != nullptr)
        setFont(aParent->font()); // the caption in the parent's font, also under a style sheet
    setGeometry(R.Left, R.Top, R.Right, R.Bottom);
    setText(aCaption);
    fOnMouseDown = std::move(aOnDown);
    fOnMouseUp = std::move(aOnUp);
    if (aParent != nullptr && aParent->isVisible())
        show();
}

void TTouchButton::Down(Qt::MouseButton button, Qt::KeyboardModifiers shift, QPoint pos)
{
    fHeld = true;
    if (fOnMouseDown)
        fOnMouseDown(this, button, shift, pos.x(), pos.y());
}

void TTouchButton::Up(Qt::MouseButton button, Qt::KeyboardModifiers shift, QPoint pos)
{
    fHeld = false;
    if (fOnMouseUp)
        fOnMouseUp(this, button, shift, pos.x(), pos.y());
}

void TTouchButton::mousePressEvent(QMouseEvent* e)
{
    QPushButton::mousePressEvent(e); // pressed look
    Down(e->button(), e->modifiers(), e->position().toPoint());
}

void TTouchButton::mouseReleaseEvent(QMouseEvent* e)
{
    QPushButton::mouseReleaseEvent(e);
    Up(e->button(), e->modifiers(), e->position().toPoint());
}

bool TTouchButton::event(QEvent* e)
{
    switch (e->type()) {
    case QEvent::TouchBegin: {
        // Accepting the touch keeps Qt from synthesising a mouse press for it as well.
        auto* t = static_cast<QTouchEvent*>(e);
        const QPoint pos = t->points().isEmpty() ? QPoint() : t->points().first().position().toPoint();
        setDown(true);
        e->accept();
        Down(Qt::LeftButton, t->modifiers(), pos);
        return true;
    }
    case QEvent::TouchUpdate:
        e->accept();
        return true;
    case QEvent::TouchEnd:
    case QEvent::TouchCancel: {
        auto* t = static_cast<QTouchEvent*>(e);
        const QPoint pos = t->points().isEmpty() ? QPoint() : t->points().first().position().toPoint();
        setDown(false);
        e->accept();
        if (fHeld)
            Up(Qt::LeftButton, t->modifiers(), pos);
        return true;
    }
    default:
        return QPushButton::event(e);
    }
}

void TTouchButton::changeEvent(QEvent* e)
{
    // A disabled button gets no release any more; a press it still holds ends here, so that
    // whatever the press started (the address repetition) does not run on unseen.
    if (e->type() == QEvent::EnabledChange && !isEnabled() && fHeld) {
        setDown(false);
        Up(Qt::LeftButton, Qt::NoModifier, QPoint());
    }
    QPushButton::changeEvent(e);
}

#ifdef _WIN32
bool TTouchButton::nativeEvent(const QByteArray& eventType, void* message, qintptr* result)
{
    constexpr UINT WM_TABLET_QUERYSYSTEMGESTURESTATUS = 0x02CC;
    auto* msg = static_cast<MSG*>(message);
    if (eventType == "windows_generic_MSG" && msg->message == WM_TABLET_QUERYSYSTEMGESTURESTATUS) {
        // Press at once instead of waiting for press-and-hold; the answer 1 turns that off.
        SendMessageW(msg->hwnd, WM_LBUTTONDOWN, msg->wParam, msg->lParam);
        *result = 1;
        return true;
    }
    return QPushButton::nativeEvent(eventType, message, result);
}
#endif
