// A whole run on the virtual cable, compared with a recorded line capture: the window discovers the
// VEK-340, reads it, polls, writes an address, a mode and the status LED, reads them back and polls
// again. Every packet on the line, both ways, with the baud rate and frame format of its break and
// its data, must be the recorded one, so a rework of the tool that changes anything on the wire
// shows here.
//
// What the recording leaves out, because the line's timing decides it rather than the tool: times,
// how often an exchange repeats in a row (polls), and where the DMX refresh frames fall between the
// exchanges (each kind of frame is listed once, at the end).
//
// To record anew after an intended change on the wire: run this test with ZYL_WHOLE_RUN_RECORD
// naming a file, look at the difference, and copy the file over tests/App/whole-run.capture.
#include "FixtureLoopSupport.h"
#include "ScenarioRunner.h"

#include <QCoreApplication>
#include <QFile>
#include <QLineEdit>
#include <QTextStream>
#include <QtTest>

#include <memory>

namespace {

QString FormatText(const VC_LineFormat& f) {
    if (f.baud == 0)
        return QStringLiteral("none");
    static const char parity[] = "NOEMS";
    return QStringLiteral("%1 %2%3%4")
        .arg(f.baud)
        .arg(f.data_bits)
        .arg(QLatin1Char(f.parity < 5 ? parity[f.parity] : '?'))
        .arg(f.stop_bits);
}

QString HexText(const VC_Packet& p) {
    const int n = std::min(p.length, VC_CAPTURE_MAX_BYTES);
    return QString::fromLatin1(QByteArray(reinterpret_cast<const char*>(p.bytes), n).toHex(' '));
}

// One line per packet: who sent it, how, and its bytes.
QString PacketLine(const VC_Packet& p) {
    if (p.direction == VC_FROM_FIXTURE)
        return QStringLiteral("< %1").arg(HexText(p));
    return QStringLiteral("> break %1 | data %2 | flags %3 | %4")
        .arg(FormatText(p.break_format), FormatText(p.data_format))
        .arg(p.flags)
        .arg(HexText(p));
}

bool IsDmxFrame(const VC_Packet& p) {
    return p.direction == VC_TO_FIXTURE && p.length > 0 && p.bytes[0] == 0x00;
}

// The capture as text: exchanges (a controller packet with the replies after it) in order, an
// exchange equal to the one before it left out; then each kind of DMX frame once.
QString NormalisedCapture() {
    QStringList exchanges, dmxFrames;
    QString exchange;
    const auto endExchange = [&] {
        if (!exchange.isEmpty() && (exchanges.isEmpty() || exchanges.back() != exchange))
            exchanges << exchange;
        exchange.clear();
    };
    VC_Packet p;
    const int count = VC_CaptureCount();
    for (int i = 0; i < count; ++i) {
        if (VC_CaptureGet(i, &p) != 0)
            continue;
        const QString line = PacketLine(p) + QLatin1Char('\n');
        if (IsDmxFrame(p)) {
            if (!dmxFrames.contains(line))
                dmxFrames << line;
            continue;
        }
        if (p.direction == VC_TO_FIXTURE)
            endExchange();
        exchange += line;
    }
    endExchange();
    return exchanges.join(QString()) + QStringLiteral("DMX frames:\n") + dmxFrames.join(QString());
}

void Press(QWidget* button) {
    QTest::mousePress(button, Qt::LeftButton);
    QTest::mouseRelease(button, Qt::LeftButton);
}

} // namespace

class WholeRunTest : public QObject {
    Q_OBJECT
  private slots:
    void cleanup() { VC_Reset(); }
    void lineMatchesTheRecording();
};

void WholeRunTest::lineMatchesTheRecording() {
    VC_Reset();
    auto form = std::make_unique<TMainForm>();
    form->show();
    const VC_FixtureConfig config = Vek340();
    LineWith(&config);

    int pollsAtPress = 0;
    bool wentBackToDiscovery = false;
    TPumpWatch watch([&] {
        wentBackToDiscovery = wentBackToDiscovery || (pollsAtPress > 0 && form->State() == StateDiscovery);
    });
    TScenarioRunner run(form.get());
    run.Step(
           QStringLiteral("read and polled twice"), [&] { return Polled(*form, 2); },
           [&] {
               Control<QLineEdit>(*form, "leDMXAdr")->setText(QStringLiteral("200"));
               Control<QComboBox>(*form, "cbDMXMode")->setCurrentIndex(0);
               Control<QComboBox>(*form, "cbStatusLed")->setCurrentIndex(0);
               pollsAtPress = CountPackets(req::Poll);
               Press(Control(*form, "bSet"));
           })
        .Step(
            QStringLiteral("written, read back and polled twice"),
            [&] {
                return wentBackToDiscovery && form->State() == StateConnected &&
                       CountPackets(req::Poll) >= pollsAtPress + 2;
            },
            [&] { form->close(); }, 30000);
    run.Start();
    QTRY_VERIFY_WITH_TIMEOUT(run.Done(), 60000);
    QVERIFY2(!run.Failed(), qPrintable(run.Failure()));
    form.reset();

    const QString capture = NormalisedCapture();
    const QString recordTo = qEnvironmentVariable("ZYL_WHOLE_RUN_RECORD");
    if (!recordTo.isEmpty()) {
        QFile out(recordTo);
        QVERIFY(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
        out.write(capture.toLatin1());
    }
    QFile recorded(QCoreApplication::applicationDirPath() + QStringLiteral("/whole-run.capture"));
    QVERIFY2(recorded.open(QIODevice::ReadOnly), "whole-run.capture is not beside the test");
    const QStringList want = QString::fromLatin1(recorded.readAll()).split(QLatin1Char('\n'));
    const QStringList got = capture.split(QLatin1Char('\n'));
    // The first differing line says more than two whole captures.
    for (int i = 0; i < std::min(want.size(), got.size()); ++i)
        QVERIFY2(
            want[i] == got[i],
            qPrintable(
                QStringLiteral("line %1:\n  recorded %2\n  now      %3").arg(i + 1).arg(want[i], got[i])));
    QCOMPARE(got.size(), want.size());
}

QTEST_MAIN(WholeRunTest)
#include "tst_whole_run.moc"
