// The text a message box shows. The tool's texts end a line with a carriage return alone, as
// Windows boxes take it; Qt's labels break a line there on some systems only, and at a line feed on
// every one.
#pragma once

#include <QString>

inline QString BoxText(QString text) {
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return text;
}
