#pragma once
// Paths cross into the Qt-free layers as the file system's own bytes, so a name that is not
// valid UTF-8 still reaches the same file.

#include <QByteArray>
#include <QFile>
#include <QString>
#include <string>

namespace zelvant::ui {

inline std::string LocalPath(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

inline QString FromLocalPath(const std::string& path) {
    return QFile::decodeName(QByteArray::fromStdString(path));
}

}  // namespace zelvant::ui
