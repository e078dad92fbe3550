#include "Fonts.h"

#include <QStringList>

#include <mutex>

namespace {

void RegisterSubstitutes() {
    static std::once_flag once;
    std::call_once(once, [] {
        QFont::insertSubstitutions(QStringLiteral("Tahoma"),
                                   QStringList{QStringLiteral("DejaVu Sans Condensed"),
                                               QStringLiteral("Liberation Sans Narrow"),
                                               QStringLiteral("Arial")});
        QFont::insertSubstitutions(QStringLiteral("Segoe UI"),
                                   QStringList{QStringLiteral("DejaVu Sans"),
                                               QStringLiteral("Liberation Sans"), QStringLiteral("Arial")});
    });
}

} // namespace

QFont TahomaFont(int pixelSize, bool bold) {
    RegisterSubstitutes();
    QFont f(QStringLiteral("Tahoma"));
    f.setBold(bold);
    f.setPixelSize(pixelSize);
    return f;
}

QFont SegoeUIFont(int pixelSize) {
    RegisterSubstitutes();
    QFont f(QStringLiteral("Segoe UI"));
    f.setBold(false);
    f.setPixelSize(pixelSize);
    return f;
}
