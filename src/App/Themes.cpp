#include "Themes.h"

#include "AppResources.h"

#include <QApplication>
#include <QFile>
#include <QMap>
#include <QMessageBox>
#include <QStringDecoder>

namespace {

struct TThemeRegistry {
    QMap<QString, QString> Sheets; // name -> style sheet
    QString Active;
};

TThemeRegistry& Registry() {
    static TThemeRegistry registry;
    return registry;
}

const QString kNamePrefix = QStringLiteral("/* ZYL theme:");

// Comments closed and braces balanced; quoted strings may hold either without counting.
bool WellFormedSheet(const QString& text) {
    int depth = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == u'/' && i + 1 < text.size() && text[i + 1] == u'*') {
            const qsizetype end = text.indexOf(QStringLiteral("*/"), i + 2);
            if (end < 0)
                return false;
            i = end + 1;
        } else if (c == u'"' || c == u'\'') {
            const qsizetype end = text.indexOf(c, i + 1);
            if (end < 0)
                return false;
            i = end;
        } else if (c == u'{') {
            ++depth;
        } else if (c == u'}') {
            if (--depth < 0)
                return false;
        }
    }
    return depth == 0;
}

} // namespace

namespace Themes {

std::optional<TTheme> ParseTheme(const QByteArray& data) {
    QStringDecoder decoder(QStringDecoder::Utf8);
    const QString text = decoder.decode(data);
    if (decoder.hasError() || !text.startsWith(kNamePrefix))
        return std::nullopt;
    const qsizetype close = text.indexOf(QStringLiteral("*/"));
    const qsizetype lineEnd = text.indexOf(u'\n');
    if (close < 0 || (lineEnd >= 0 && close > lineEnd))
        return std::nullopt;
    const QString name = text.mid(kNamePrefix.size(), close - kNamePrefix.size()).trimmed();
    if (name.isEmpty() || !WellFormedSheet(text))
        return std::nullopt;
    return TTheme{name, text};
}

void RegisterBuiltInThemes() {
    InitAppResources();
    for (const char* file : {":/themes/CobaltXEMedia.qss", ":/themes/ZYL01.qss"}) {
        QFile f(QString::fromLatin1(file));
        if (!f.open(QIODevice::ReadOnly))
            continue;
        if (const auto theme = ParseTheme(f.readAll()))
            RegisterTheme(*theme);
    }
}

void RegisterTheme(const TTheme& theme) {
    Registry().Sheets.insert(theme.Name, theme.StyleSheet);
}

void UnregisterTheme(const QString& name) {
    Registry().Sheets.remove(name);
}

bool ThemeExists(const QString& name) {
    return Registry().Sheets.contains(name);
}

bool TrySetStyle(const QString& name) {
    auto& registry = Registry();
    const auto it = registry.Sheets.constFind(name);
    if (it == registry.Sheets.cend() || qApp == nullptr)
        return false;
    qApp->setStyleSheet(*it);
    registry.Active = name;
    return true;
}

QString ActiveStyleName() {
    return Registry().Active;
}

std::optional<QString> LoadThemeFile(const QString& path) {
    QFile f(path);
    if (!f.exists() || !f.open(QIODevice::ReadOnly))
        return std::nullopt;
    const auto theme = ParseTheme(f.readAll());
    if (!theme)
        return std::nullopt;
    RegisterTheme(*theme);
    return theme->Name;
}

bool SetStyleOrReport(const QString& name) {
    if (TrySetStyle(name))
        return true;
    QMessageBox box(QMessageBox::Critical, QStringLiteral("Error"),
                    QStringLiteral("Style '%1' not found").arg(name), QMessageBox::Close);
    box.exec();
    return false;
}

} // namespace Themes
