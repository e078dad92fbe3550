// Read access to the pages of a compiled HTML help file (.chm), through chmlib.
#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

struct chmFile;

class TChmFile {
  public:
    TChmFile() = default;
    ~TChmFile();
    TChmFile(const TChmFile&) = delete;
    TChmFile& operator=(const TChmFile&) = delete;

    // Opens the file (closing any file held before); false when it is missing or no help file.
    bool Open(const QString& fileName);
    void Close();
    bool IsOpen() const { return fHandle != nullptr; }
    const QString& FileName() const { return fFileName; }

    // Contents of the object at `path` inside the file ("/Introduction.htm"; letter case does not
    // matter); nothing when the file holds no such object or it cannot be read whole.
    std::optional<QByteArray> Read(const QString& path) const;

  private:
    chmFile* fHandle = nullptr;
    QString fFileName;
};
