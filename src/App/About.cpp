#include "About.h"

#include "Fonts.h"
#include "Shape.h"
#include "TouchButton.h"

#include <QEvent>
#include <QLabel>

namespace {

QWidget* Region(QWidget* parent, const char* name, const QRect& r) {
    auto* w = new QWidget(parent);
    w->setObjectName(QString::fromLatin1(name));
    w->setFont(parent->font()); // set explicitly: a style sheet stops fonts passing to children
    w->setGeometry(r);
    return w;
}

QLabel* Label(QWidget* parent, const char* name, QPoint at, int pixelSize) {
    auto* l = new QLabel(parent);
    l->setObjectName(QString::fromLatin1(name));
    l->setFont(TahomaFont(pixelSize));
    l->move(at);
    return l;
}

} // namespace

TAboutForm::TAboutForm(QWidget* owner)
    : QDialog(owner, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint) {
    setObjectName(QStringLiteral("AboutForm"));
    setWindowTitle(QStringLiteral("About"));
    setFont(TahomaFont(16));
    setFixedSize(313, 126);
    setSizeGripEnabled(false);
    // The theme paints the box in its button-face colour; without a theme the palette does.
    setAttribute(Qt::WA_StyledBackground);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, pal.color(QPalette::Button));
    setPalette(pal);
    setAutoFillBackground(true);

    Panel2 = Region(this, "Panel2", QRect(0, 0, 313, 92));
    Label1 = Label(Panel2, "Label1", QPoint(16, 16), 16);
    Label2 = Label(Panel2, "Label2", QPoint(16, 41), 13);
    Label3 = Label(Panel2, "Label3", QPoint(16, 66), 13);
    Label3->setFixedSize(313, 19);
    Label3->setEnabled(false); // greyed

    Panel1 = Region(this, "Panel1", QRect(0, 92, 313, 34));
    Shape1 = new TShape(Panel1);
    Shape1->setFont(Panel1->font());
    Shape1->setObjectName(QStringLiteral("Shape1"));
    Shape1->setGeometry(0, 0, 313, 34);
    Panel3 = Region(Panel1, "Panel3", QRect(73, 3, 168, 29));

    // A press on the upper region, a label or the bottom strip's rectangle closes the box.
    for (QWidget* w : {Panel2, static_cast<QWidget*>(Label1), static_cast<QWidget*>(Label2),
                       static_cast<QWidget*>(Label3), static_cast<QWidget*>(Shape1)})
        w->installEventFilter(this);

    FormCreate();
}

void TAboutForm::FormCreate() {
    bOk = new TTouchButton(this);
    bOk->setObjectName(QStringLiteral("bOk"));
    const QRect r = Panel3->geometry();
    bOk->SetParams(
        Panel1, TRect{r.left(), r.top(), r.width(), r.height()}, QStringLiteral("Ok"),
        [this](QObject*, Qt::MouseButton, Qt::KeyboardModifiers, int, int) { Label1MouseDown(); },
        [](QObject*, Qt::MouseButton, Qt::KeyboardModifiers, int, int) {});
}

bool TAboutForm::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonDblClick) {
        Label1MouseDown();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

void TAboutForm::Label1MouseDown() {
    done(mrCancel);
}

void TAboutForm::showEvent(QShowEvent* event) {
    // The name and version labels are sized to their texts, whatever was set before showing.
    Label1->adjustSize();
    Label2->adjustSize();
    QDialog::showEvent(event);
}
