#include "settings/qsettings_store.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>
#include <QStringList>
#include <QVariant>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace zelvant::settings {
namespace {

QString Utf8(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QString PathOf(std::string_view section, std::string_view key) {
    return section.empty() ? Utf8(key) : Utf8(section) + u'/' + Utf8(key);
}

}  // namespace

// Only the user's own store counts: values from the system-wide file (or HKLM) must not show
// through as if the user had chosen them.
CQSettingsStore::CQSettingsStore()
    : settings_(QStringLiteral("Quillmere"), QStringLiteral("Zelvant")) {
    settings_.setFallbacksEnabled(false);
}

CQSettingsStore::~CQSettingsStore() {
    settings_.sync();
}

int CQSettingsStore::ReadInt(std::string_view section, std::string_view key, int fallback) {
    const QVariant value = settings_.value(PathOf(section, key));
    if (!value.isValid()) {
        return fallback;
    }
    // An INI file holds every value as text; the registry holds 32-bit integers.
    int parsed = fallback;
    const std::string text = value.toString().trimmed().toStdString();
    return ParseInt32(text, parsed) ? parsed : fallback;
}

std::string CQSettingsStore::ReadString(std::string_view section, std::string_view key,
                                        std::string_view fallback) {
    const QVariant value = settings_.value(PathOf(section, key));
    if (!value.isValid()) {
        return std::string(fallback);
    }
    // A hand-edited INI line with unquoted commas comes back as a list; it meant one text.
    if (value.typeId() == QMetaType::QStringList) {
        return value.toStringList().join(u',').toStdString();
    }
    return value.toString().toStdString();
}

// Qt replaces the file on every write but keeps the permissions of the one it replaces, so the
// file made here, or tightened here, stays private.
void CQSettingsStore::KeepPrivate() {
    if (private_) {
        return;
    }
    private_ = true;
#ifdef Q_OS_UNIX
    const QString file = settings_.fileName();
    const QString folder = QFileInfo(file).absolutePath();
    QDir().mkpath(folder);
    ::chmod(QFile::encodeName(folder).constData(), 0700);
    const int fd = ::open(QFile::encodeName(file).constData(),
                          O_WRONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd >= 0) {
        ::fchmod(fd, 0600);
        ::close(fd);
    }
#endif
}

void CQSettingsStore::WriteInt(std::string_view section, std::string_view key, int value) {
    KeepPrivate();
    settings_.setValue(PathOf(section, key), value);
}

void CQSettingsStore::WriteString(std::string_view section, std::string_view key,
                                  std::string_view text) {
    KeepPrivate();
    settings_.setValue(PathOf(section, key), Utf8(text));
}

void CQSettingsStore::Remove(std::string_view section, std::string_view key) {
    KeepPrivate();
    settings_.remove(PathOf(section, key));
}

bool CQSettingsStore::Contains(std::string_view section, std::string_view key) {
    return settings_.contains(PathOf(section, key));
}

void CQSettingsStore::Sync() {
    settings_.sync();
}

}  // namespace zelvant::settings
