#include "desktop/autostart.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

namespace zelvant::desktop {

namespace {

bool Fail(QString* error) {
    if (error != nullptr) {
        *error = AutostartPlaceMessage();
    }
    return false;
}

}  // namespace

QString AutostartPlaceMessage() {
#ifdef Q_OS_WIN
    return QStringLiteral("Not found registry Software\\Microsoft\\Windows\\CurrentVersion\\Run");
#else
    return QStringLiteral("The autostart entry %1 could not be written or removed.")
        .arg(AutostartEntryPath());
#endif
}

namespace {

QString RealPath(const QString& path) {
    const QString canonical = QFileInfo(path).canonicalFilePath();
    return canonical.isEmpty() ? path : canonical;
}

// Escapes of the "string" value type, which readers undo before anything else.
QString EscapeValue(const QString& text) {
    QString escaped;
    for (const QChar c : text) {
        switch (c.unicode()) {
            case '\\':
                escaped += QLatin1String("\\\\");
                break;
            case '\n':
                escaped += QLatin1String("\\n");
                break;
            case '\t':
                escaped += QLatin1String("\\t");
                break;
            case '\r':
                escaped += QLatin1String("\\r");
                break;
            default:
                escaped += c;
        }
    }
    return escaped;
}

// One argument of an Exec line: quoted when it holds a reserved character, with '%' doubled so
// it is never read as a field code.
QString ExecArgument(const QString& argument) {
    static const QString kReserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
    bool quote = argument.isEmpty();
    for (const QChar c : argument) {
        quote = quote || kReserved.contains(c);
    }
    QString result;
    if (quote) {
        result += QLatin1Char('"');
    }
    for (const QChar c : argument) {
        if (quote && (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$') ||
                      c == QLatin1Char('\\'))) {
            result += QLatin1Char('\\');
        }
        result += c;
        if (c == QLatin1Char('%')) {
            result += QLatin1Char('%');
        }
    }
    if (quote) {
        result += QLatin1Char('"');
    }
    return result;
}

}  // namespace

QString AutostartEntryPath() {
    const QString config = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    return config + QStringLiteral("/autostart/zelvant.desktop");
}

QString AutostartProgramPath() {
    // Inside an AppImage the running file lives on a mount that changes with every run.
    const QString image = qEnvironmentVariable("APPIMAGE");
    if (!image.isEmpty() && QFileInfo(image).isFile()) {
        return RealPath(image);
    }
    return RealPath(QCoreApplication::applicationFilePath());
}

QString AutostartEntryText(const QString& programPath) {
    const QString program = RealPath(programPath);
    QString text;
    text += QStringLiteral("[Desktop Entry]\n");
    text += QStringLiteral("Type=Application\n");
    text += QStringLiteral("Version=1.0\n");
    text += QStringLiteral("Name=Zelvant\n");
    text += QStringLiteral("Comment=Password manager\n");
    text += QStringLiteral("Exec=") + EscapeValue(ExecArgument(program)) + QLatin1Char('\n');
    // Skips the entry quietly once the program has been removed or moved.
    text += QStringLiteral("TryExec=") + EscapeValue(program) + QLatin1Char('\n');
    text += QStringLiteral("Icon=org.quillmere.Zelvant\n");
    text += QStringLiteral("Terminal=false\n");
    text += QStringLiteral("X-GNOME-Autostart-enabled=true\n");
    return text;
}

bool AddAutostartEntry(const QString& programPath, QString* error) {
    const QString path = AutostartEntryPath();
    const QString folder = QFileInfo(path).absolutePath();
    if (!QDir().mkpath(folder)) {
        return Fail(error);
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        return Fail(error);
    }
    file.write(AutostartEntryText(programPath).toUtf8());
    if (!file.commit()) {
        return Fail(error);
    }
    return true;
}

bool RemoveAutostartEntry(QString* error) {
    const QFileInfo entry(AutostartEntryPath());
    const QFileInfo folder(entry.absolutePath());
    if (!folder.exists()) {
        return true;
    }
    if (!folder.isDir()) {
        return Fail(error);
    }
    // A symbolic link counts too, even a dangling one.
    if (!entry.exists() && !entry.isSymLink()) {
        return true;
    }
    if (entry.isDir() || !QFile::remove(entry.filePath())) {
        return Fail(error);
    }
    return true;
}

}  // namespace zelvant::desktop
