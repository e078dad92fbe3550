// A line of two fixtures in the window, against the virtual cable, the way a technician sets them up
// one after another: the list, Identify, pick the first, set its address, store it as the default,
// back to the list, pick the second, and "Set default DMX-2" puts it directly behind the first. And
// a line of one fixture keeps the window as it always was: no list, no way back to one.
#include "FixtureLoopSupport.h"
#include "ScenarioRunner.h"

#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

#include <memory>

namespace {

constexpr int kScenarioTimeoutMs = 180000;

void Press(QWidget* button) {
    QTest::mousePress(button, Qt::LeftButton);
    QTest::mouseRelease(button, Qt::LeftButton);
}

bool Shown(const TMainForm& form, const char* name) {
    const QWidget* w = Control(form, name);
    return w != nullptr && w->isVisible();
}

} // namespace

class FixtureListTest : public QObject {
    Q_OBJECT
  private:
    std::unique_ptr<TMainForm> form;

    bool Ready() const {
        return Polled(*form, 1) && ConnectionText(*form).endsWith(QStringLiteral(" - Ready"));
    }
    bool Listed() const { return form->State() == StateFixtureList && Shown(*form, "FixtureList"); }
    QString RowText(int row) const {
        const auto* b = Control<QPushButton>(*form, QStringLiteral("bPickFixture%1").arg(row));
        return b ? b->text() : QString();
    }
    bool Identifying(int row) const {
        const QWidget* b = Control(*form, QStringLiteral("bIdentify%1").arg(row));
        return b && b->property("identifying").toBool();
    }

  private slots:
    void init() {
        VC_Reset();
        form = std::make_unique<TMainForm>();
    }
    void cleanup() {
        form.reset();
        QCOMPARE(VC_OpenHandleCount(), 0);
        VC_Reset();
    }

    void twoFixturesAreSetUpOneBehindTheOther();
    void oneFixtureShowsNoList();
};

void FixtureListTest::twoFixturesAreSetUpOneBehindTheOther() {
    // Two VEK-340s at 37 and 60 in their 32-slot personality: they overlap.
    const VC_FixtureConfig first = Vek340();
    VC_FixtureConfig second = Vek340();
    second.uid[5] = 0x2B;
    second.start_address = 60;
    LineWith(&first);
    const int secondId = VC_AddFixture(0, &second);
    form->show();

    QStringList rows;
    bool overlapsMarked = false;
    int identifySets = 0;
    bool backHiddenInList = false;
    TScenarioRunner run(form.get());
    run.Step(
           QStringLiteral("the list"), [&] { return Listed(); },
           [&] {
               rows = {RowText(0), RowText(1)};
               overlapsMarked = Control(*form, "lOverlaps0") && Control(*form, "lOverlaps1");
               backHiddenInList = !Shown(*form, "bFixtureList");
               Press(Control(*form, "bIdentify1"));
           })
        .Step(
            QStringLiteral("the second identifies"), [&] { return Identifying(1); },
            [&] {
                identifySets = PacketNames(ControllerPackets()).count(QStringLiteral("SET 0x1000"));
                Press(Control(*form, "bPickFixture0"));
            })
        .Step(
            QStringLiteral("the first is ready"), [&] { return Ready() && Shown(*form, "bFixtureList"); },
            [&] {
                run.Expect(!Shown(*form, "FixtureList"), QStringLiteral("the list is still shown"));
                run.Expect(PacketNames(ControllerPackets()).count(QStringLiteral("SET 0x1000")) == 2,
                           QStringLiteral("Identify was not switched off when the list was left"));
                Control<QLineEdit>(*form, "leDMXAdr")->setText(QStringLiteral("1"));
                Press(Control(*form, "bSet"));
            })
        .Step(
            QStringLiteral("the first is at 1"),
            [&] { return Ready() && Control<QLineEdit>(*form, "leDMXAdr")->text() == QStringLiteral("1"); },
            [&] {
                Press(Control(*form, "bStoreDefault"));
                Press(Control(*form, "bFixtureList"));
            })
        .Step(
            QStringLiteral("the list again"), [&] { return Listed(); },
            [&] {
                run.Expect(RowText(0).endsWith(QStringLiteral("DMX 1 - 32  (32 channels)")),
                           QStringLiteral("first row: ") + RowText(0));
                Press(Control(*form, "bPickFixture1"));
            })
        .Step(
            QStringLiteral("the second is ready"),
            [&] { return Ready() && Control<QLineEdit>(*form, "leDMXAdr")->text() == QStringLiteral("60"); },
            [&] { Press(Control(*form, "bSetDefaultDMX2")); })
        .Step(
            QStringLiteral("the second is right behind the first"),
            [&] { return Ready() && Control<QLineEdit>(*form, "leDMXAdr")->text() == QStringLiteral("33"); },
            [&] { form->close(); });
    ZYL_RUN_SCENARIO(run, kScenarioTimeoutMs);

    QCOMPARE(rows, (QStringList{QStringLiteral("5A59:0000002A   VEK-340\nDMX 37 - 68  (32 channels)"),
                                QStringLiteral("5A59:0000002B   VEK-340\nDMX 60 - 91  (32 channels)")}));
    QVERIFY(overlapsMarked);
    QVERIFY(backHiddenInList);
    QCOMPARE(identifySets, 1);
    QCOMPARE(FixtureState(secondId).start_address, 33);
}

void FixtureListTest::oneFixtureShowsNoList() {
    const VC_FixtureConfig fixture = Vek340();
    LineWith(&fixture);
    form->show();
    bool listSeen = false;
    TPumpWatch watch(
        [&] { listSeen = listSeen || Shown(*form, "FixtureList") || Shown(*form, "bFixtureList"); });
    TScenarioRunner run(form.get());
    run.Step(
        QStringLiteral("ready"), [&] { return Ready(); }, [&] { form->close(); });
    ZYL_RUN_SCENARIO(run, kScenarioTimeoutMs);
    QVERIFY(!listSeen);
}

QTEST_MAIN(FixtureListTest)
#include "tst_fixture_list.moc"
