// Shared by the fixture-loop tests: the fixture put on the virtual line, the controller's packets
// read back from the line capture, and a watcher that looks at the window at every event pump.
#pragma once

#include "FixtureLoopRequests.h"
#include "Main.h"
#include "Vek340Fixture.h"
#include "VirtualCable.h"
#include "WindowTestSupport.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QObject>
#include <QStringList>
#include <QTimer>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <functional>
#include <vector>

// One default cable with fast replies and, unless `fixture` is null, that fixture on its line.
// Returns the fixture id (-1 without one). The capture starts empty.
inline int LineWith(const VC_FixtureConfig* fixture) {
    VC_Clear();
    VC_SetFastTiming();
    VC_CableConfig cable{};
    VC_DefaultCable(&cable);
    const int index = VC_AddCable(&cable);
    const int id = fixture ? VC_AddFixture(index, fixture) : -1;
    VC_CaptureClear();
    return id;
}

inline VC_FixtureConfig FixtureState(int id) {
    VC_FixtureConfig c{};
    VC_GetFixture(id, &c);
    return c;
}

inline bool IsIdleFrame(const TBytes& b) {
    return b.size() == 513 && std::all_of(b.begin(), b.end(), [](std::uint8_t x) { return x == 0; });
}

inline int CountPackets(const TBytes& wanted) {
    const auto packets = ControllerPackets();
    return static_cast<int>(std::count_if(packets.begin(), packets.end(),
                                          [&](const TLinePacket& p) { return p.Bytes == wanted; }));
}

// The packets as short names ("GET 0x0060", "DMX", ...), for comparing the order of a conversation.
inline QStringList PacketNames(const std::vector<TLinePacket>& packets) {
    QStringList names;
    for (const TLinePacket& p : packets) {
        const TBytes& b = p.Bytes;
        const auto request = RequestKind(b);
        if (IsIdleFrame(b)) {
            names << QStringLiteral("DMX");
        } else if (request) {
            const std::uint8_t cc = request->CommandClass;
            const char* kind = cc == 0x10 ? "DISC" : cc == 0x20 ? "GET" : cc == 0x30 ? "SET" : "CC?";
            names << QStringLiteral("%1 0x%2%3")
                         .arg(QLatin1String(kind))
                         .arg(request->Pid, 4, 16, QLatin1Char('0'))
                         .arg(request->Broadcast ? QStringLiteral(" *") : QString());
        } else {
            names << QStringLiteral("other(%1)").arg(b.size());
        }
    }
    return names;
}

// The conversation from the first request on: the background refresh may send a frame between the
// opening of the cable and the bootstrap switching it off, the more so on a slow machine.
inline QStringList FromTheFirstRequest(QStringList names) {
    while (!names.isEmpty() && names.front() == QStringLiteral("DMX"))
        names.removeFirst();
    return names;
}

// Empty when the names sent are the expected conversation, give or take an exchange repeated in a
// row: a tool starved of time by a busy machine lets a reply window run out and asks again, which is
// its real behaviour. Otherwise, where the two part.
inline QString ConversationProblem(const QStringList& sent, const QStringList& expected) {
    qsizetype matched = 0;
    for (qsizetype i = 0; i < sent.size(); ++i) {
        if (matched < expected.size() && sent[i] == expected[matched])
            ++matched;
        else if (i == 0 || sent[i] != sent[i - 1])
            return QStringLiteral("packet %1 is %2 where %3 was expected; sent: %4")
                .arg(i)
                .arg(sent[i], matched < expected.size() ? expected[matched] : QStringLiteral("nothing"),
                     sent.join(QStringLiteral(", ")));
    }
    if (matched < expected.size())
        return QStringLiteral("%1 never came; sent: %2")
            .arg(expected[matched], sent.join(QStringLiteral(", ")));
    return {};
}

// Connected and polled at least `times` times.
inline bool Polled(const TMainForm& form, int times) {
    return form.State() == StateConnected && CountPackets(req::Poll) >= times;
}

inline QString ConnectionText(const TMainForm& form) {
    return Control<QLabel>(form, "lConnection")->text();
}

inline QStringList ComboItems(const TMainForm& form, const char* name) {
    const auto* combo = Control<QComboBox>(form, name);
    QStringList items;
    for (int i = 0; i < combo->count(); ++i)
        items << combo->itemText(i);
    return items;
}

inline int ComboIndex(const TMainForm& form, const char* name) {
    return Control<QComboBox>(form, name)->currentIndex();
}

inline QString EditText(const TMainForm& form, const char* name) {
    return Control<QLineEdit>(form, name)->text();
}

// Runs `look` at every pass of whatever loop pumps events (the fixture loop's pumping, a modal box),
// through a zero-interval timer: the window is seen at each point where the loop lets it be seen.
class TPumpWatch : public QObject {
  public:
    explicit TPumpWatch(std::function<void()> look) : fLook(std::move(look)) {
        fTimer.setInterval(0);
        QObject::connect(&fTimer, &QTimer::timeout, this, [this] { fLook(); });
        fTimer.start();
    }

  private:
    std::function<void()> fLook;
    QTimer fTimer;
};

// The texts a label showed at the pumps, without consecutive repeats.
class TTextTrail {
  public:
    void Look(const QString& text) {
        if (fTexts.isEmpty() || fTexts.back() != text)
            fTexts << text;
    }
    const QStringList& Texts() const { return fTexts; }

  private:
    QStringList fTexts;
};
