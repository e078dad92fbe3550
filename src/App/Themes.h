// Named visual themes. A theme is a Qt style sheet whose first line names it:
//     /* ZYL theme: <name> */
// The built-in themes are compiled into the executable; a theme file (such as "ZYLStyle.vsf")
// holds the same text. Activating a theme applies its sheet to the whole application.
#pragma once

#include <QString>

#include <optional>

struct TTheme {
    QString Name;
    QString StyleSheet;
};

namespace Themes {

// Reads a theme from its text: valid UTF-8, the name line first, comments closed and braces
// balanced. Nothing when the text is not a theme.
std::optional<TTheme> ParseTheme(const QByteArray& data);

// Registers the themes compiled into the executable ("Cobalt XEMedia", "ZYL01"). Idempotent.
void RegisterBuiltInThemes();
// Adds or replaces a theme by its name.
void RegisterTheme(const TTheme& theme);
// Forgets a theme (tests use it to take a built-in theme away).
void UnregisterTheme(const QString& name);
bool ThemeExists(const QString& name);

// Applies the named theme to the application; false, and nothing changed, when no theme of that
// name is registered.
bool TrySetStyle(const QString& name);
// Name of the active theme; empty while the default look is in use.
QString ActiveStyleName();

// Loads a theme file, registers its theme and returns its name; nothing when the file is missing,
// unreadable or no valid theme.
std::optional<QString> LoadThemeFile(const QString& path);

// Activates the named theme; when it does not exist shows the error box "Style '<name>' not found"
// with the single button Close and keeps the current look. Returns whether the theme is active.
bool SetStyleOrReport(const QString& name);

} // namespace Themes
