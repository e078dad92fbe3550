// What only Windows has, on the real windows platform plug-in: the touch query that a touch button
// answers with an immediate press, and "Help" opening the system's HTML help viewer at the
// introduction of the help file beside the executable.
#include "MainFormProbe.h"
#include "TouchButton.h"
#include "WindowTestSupport.h"

#include <QAction>
#include <QFile>
#include <QtTest>

#include <windows.h>

#include <commctrl.h> // needs windows.h first

#include <string>
#include <vector>

namespace {

constexpr UINT WM_TABLET_QUERYSYSTEMGESTURESTATUS = 0x02CC;

std::wstring ClassName(HWND window) {
    wchar_t name[256] = {};
    const int length = GetClassNameW(window, name, 256);
    return std::wstring(name, length > 0 ? static_cast<std::size_t>(length) : 0);
}

QString Title(HWND window) {
    wchar_t text[512] = {};
    const int length = GetWindowTextW(window, text, 512);
    return QString::fromWCharArray(text, length > 0 ? length : 0);
}

// The visible top-level windows of this process that Qt did not make (Qt's class names begin
// with "Qt").
std::vector<HWND> ForeignTopLevelWindows() {
    std::vector<HWND> found;
    EnumWindows(
        [](HWND window, LPARAM param) -> BOOL {
            DWORD process = 0;
            GetWindowThreadProcessId(window, &process);
            if (process == GetCurrentProcessId() && IsWindowVisible(window) &&
                ClassName(window).rfind(L"Qt", 0) != 0)
                reinterpret_cast<std::vector<HWND>*>(param)->push_back(window);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&found));
    return found;
}

// The texts of a tree view's top-level items (the viewer's table of contents). The tree lives in
// this process, so its item texts can be read directly.
QStringList TreeItems(HWND tree) {
    QStringList items;
    for (auto item = reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_ROOT, 0));
         item != nullptr; item = reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_NEXT,
                                                                          reinterpret_cast<LPARAM>(item)))) {
        wchar_t text[256] = {};
        TVITEMW tv{};
        tv.mask = TVIF_TEXT;
        tv.hItem = item;
        tv.pszText = text;
        tv.cchTextMax = 256;
        if (SendMessageW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&tv)))
            items << QString::fromWCharArray(text);
    }
    return items;
}

HWND FindDescendant(HWND parent, const wchar_t* className) {
    struct Search {
        const wchar_t* name;
        HWND found;
    } search{className, nullptr};
    EnumChildWindows(
        parent,
        [](HWND window, LPARAM param) -> BOOL {
            auto* s = reinterpret_cast<Search*>(param);
            if (ClassName(window) == s->name) {
                s->found = window;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

} // namespace

class WindowsNativeTest : public QObject {
    Q_OBJECT
  private slots:
    void initTestCase() { QCOMPARE(QGuiApplication::platformName(), QStringLiteral("windows")); }

    void touchQueryPressesAtOnceAndAnswersOne();
    void helpOpensTheSystemViewerAtIntroduction();
};

void WindowsNativeTest::touchQueryPressesAtOnceAndAnswersOne() {
    QWidget host;
    host.resize(200, 100);
    host.show();
    QVERIFY(QTest::qWaitForWindowExposed(&host));

    int presses = 0;
    QPoint pressedAt;
    auto* button = new TTouchButton(&host);
    button->SetParams(
        &host, TRect{10, 10, 120, 50}, QStringLiteral("+"),
        [&](QObject*, Qt::MouseButton, Qt::KeyboardModifiers, int x, int y) {
            ++presses;
            pressedAt = QPoint(x, y);
        },
        nullptr);
    button->show();
    QVERIFY(QTest::qWaitForWindowExposed(button));

    // The button has a window of its own, so the system's query reaches it.
    const auto hwnd = reinterpret_cast<HWND>(button->winId());
    QVERIFY(hwnd != reinterpret_cast<HWND>(host.winId()));

    const LRESULT answer = SendMessageW(hwnd, WM_TABLET_QUERYSYSTEMGESTURESTATUS, 0, MAKELPARAM(7, 9));
    QCOMPARE(answer, LRESULT(1));
    QCOMPARE(presses, 1);              // the press ran before the answer came back
    QCOMPARE(pressedAt, QPoint(7, 9)); // at the query's point, unchanged
    QVERIFY(button->IsHeld());

    QCOMPARE(presses, 1);
}

void WindowsNativeTest::helpOpensTheSystemViewerAtIntroduction() {
    const QString helpFile =
        QCoreApplication::applicationDirPath() + QStringLiteral("/app_windows_native.chm");
    QVERIFY2(QFile::exists(helpFile), qPrintable(helpFile));
    auto form = TMainFormProbe::IdleForm();
    form->show();
    QVERIFY(QTest::qWaitForWindowExposed(form.get()));
    QVERIFY(ForeignTopLevelWindows().empty());

    Control<QAction>(*form, "aHelp")->trigger();
    QVERIFY(QApplication::activeModalWidget() == nullptr); // the viewer is not modal

    // The viewer's window appears, titled from the help file, with its table of contents.
    HWND viewer = nullptr;
    QTRY_VERIFY_WITH_TIMEOUT(
        (viewer = ForeignTopLevelWindows().empty() ? nullptr : ForeignTopLevelWindows().front()) != nullptr,
        20000);
    QCOMPARE(Title(viewer), QStringLiteral("ZYL VEK RDM Tool Help"));
    HWND tree = nullptr;
    QTRY_VERIFY_WITH_TIMEOUT((tree = FindDescendant(viewer, WC_TREEVIEWW)) != nullptr, 10000);
    QTRY_VERIFY_WITH_TIMEOUT(!TreeItems(tree).isEmpty(), 10000);
    QCOMPARE(TreeItems(tree).first(), QStringLiteral("Introduction"));
    QVERIFY(TreeItems(tree).contains(QStringLiteral("Connecting the cable")));

    // The main window stays usable beside it.
    QVERIFY(form->isEnabled());
    QVERIFY(QApplication::activeModalWidget() == nullptr);

    SendMessageW(viewer, WM_CLOSE, 0, 0);
    QTRY_VERIFY_WITH_TIMEOUT(ForeignTopLevelWindows().empty(), 10000);
}

QTEST_MAIN(WindowsNativeTest)
#include "tst_windows_native.moc"
