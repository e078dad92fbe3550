#include "TouchButton.h"

#include "Platform.h"

#include <QCoreApplication>
#include <QMouseEvent>
#include <QTouchEvent>

TTouchButton::TTouchButton(QWidget* owner) : QPushButton(owner) {
    // A touch is taken as a touch, not as the system's emulated (and delayed) mouse press.
    setAttribute(Qt::WA_AcceptTouchEvents);
    // Where the system asks a window handle whether a touch may wait for press-and-hold, the
    // button needs a handle of its own to answer (nativeEvent below).
    if (Platform::TouchQueryNeedsOwnWindow())
        setAttribute(Qt::WA_NativeWindow);
}

void TTouchButton::SetParams(QWidget* aParent, const TRect& R, const QString& aCaption, TMouseEvent aOnDown,
                             TMouseEvent aOnUp) {
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

void TTouchButton::Down(Qt::MouseButton button, Qt::KeyboardModifiers shift, QPoint pos) {
    fHeld = true;
    if (fOnMouseDown)
        fOnMouseDown(this, button, shift, pos.x(), pos.y());
}

void TTouchButton::Up(Qt::MouseButton button, Qt::KeyboardModifiers shift, QPoint pos) {
    fHeld = false;
    if (fOnMouseUp)
        fOnMouseUp(this, button, shift, pos.x(), pos.y());
}

void TTouchButton::mousePressEvent(QMouseEvent* e) {
    QPushButton::mousePressEvent(e); // pressed look
    Down(e->button(), e->modifiers(), e->position().toPoint());
}

void TTouchButton::mouseReleaseEvent(QMouseEvent* e) {
    QPushButton::mouseReleaseEvent(e);
    Up(e->button(), e->modifiers(), e->position().toPoint());
}

bool TTouchButton::event(QEvent* e) {
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

void TTouchButton::changeEvent(QEvent* e) {
    // A disabled button gets no release any more; a press it still holds ends here, so that
    // whatever the press started (the address repetition) does not run on unseen.
    if (e->type() == QEvent::EnabledChange && !isEnabled() && fHeld) {
        setDown(false);
        Up(Qt::LeftButton, Qt::NoModifier, QPoint());
    }
    QPushButton::changeEvent(e);
}

bool TTouchButton::nativeEvent(const QByteArray& eventType, void* message, qintptr* result) {
    // The system's touch query becomes an immediate press (its answer turns press-and-hold off).
    std::intptr_t answer = 0;
    if (Platform::AnswerTouchPressQuery(eventType.constData(), message, &answer)) {
        // The toolkit queues the press it was just sent; deliver it now, so that the press has
        // acted by the time the system gets its answer.
        QCoreApplication::processEvents();
        *result = static_cast<qintptr>(answer);
        return true;
    }
    return QPushButton::nativeEvent(eventType, message, result);
}
