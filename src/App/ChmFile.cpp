#include "ChmFile.h"

#include <QFile>

#include <chm_lib.h>

#include <limits>
#include <utility>

TChmFile::~TChmFile() {
    Close();
}

bool TChmFile::Open(const QString& fileName) {
    Close();
    const QByteArray native = QFile::encodeName(fileName);
    fHandle = chm_open(native.constData());
    if (fHandle != nullptr)
        fFileName = fileName;
    return fHandle != nullptr;
}

void TChmFile::Close() {
    if (chmFile* h = std::exchange(fHandle, nullptr))
        chm_close(h);
    fFileName.clear();
}

std::optional<QByteArray> TChmFile::Read(const QString& path) const {
    if (fHandle == nullptr)
        return std::nullopt;
    QByteArray objectPath = path.toUtf8();
    if (!objectPath.startsWith('/'))
        objectPath.prepend('/');
    if (objectPath.size() > CHM_MAX_PATHLEN)
        return std::nullopt;
    chmUnitInfo info{};
    if (chm_resolve_object(fHandle, objectPath.constData(), &info) != CHM_RESOLVE_SUCCESS)
        return std::nullopt;
    // Pages are small; anything that does not fit a QByteArray is no page of ours.
    if (info.length > static_cast<LONGUINT64>(std::numeric_limits<int>::max()))
        return std::nullopt;
    QByteArray data(static_cast<qsizetype>(info.length), Qt::Uninitialized);
    const LONGINT64 got = chm_retrieve_object(fHandle, &info, reinterpret_cast<unsigned char*>(data.data()),
                                              0, static_cast<LONGINT64>(info.length));
    if (got != static_cast<LONGINT64>(info.length))
        return std::nullopt;
    return data;
}
