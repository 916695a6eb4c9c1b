#include "ui/clipboard.h"

#include <QByteArray>
#include <QClipboard>
#include <QCryptographicHash>
#include <QGuiApplication>
#include <QRandomGenerator>
#include <algorithm>
#include <array>
#include <utility>

namespace zelvant::ui {
namespace {

// Klipper and most X11/Wayland clipboard managers skip entries carrying this hint.
constexpr char kPasswordManagerHint[] = "x-kde-passwordManagerHint";
constexpr char kSecret[] = "secret";

#ifdef Q_OS_WIN
// Qt hands formats named like this to the Windows clipboard under the quoted name.
QString WindowsFormat(const char* name) {
    return QStringLiteral("application/x-qt-windows-mime;value=\"%1\"").arg(QLatin1String(name));
}
#endif

void Wipe(QByteArray& bytes) {
    std::fill(bytes.begin(), bytes.end(), '\0');
}

void Wipe(QString& text) {
    std::fill(text.begin(), text.end(), QChar(0));
}

// Per-run salt, so that the remembered fingerprint is no plain hash of a password.
const QByteArray& Salt() {
    static const QByteArray salt = [] {
        std::array<quint32, 4> words{};
        QRandomGenerator::system()->fillRange(words.data(), words.size());
        return QByteArray(reinterpret_cast<const char*>(words.data()),
                          static_cast<qsizetype>(sizeof(words)));
    }();
    return salt;
}

QByteArray Fingerprint(const QString& text) {
    QCryptographicHash hash(QCryptographicHash::Sha256);
    hash.addData(Salt());
    QByteArray utf8 = text.toUtf8();
    hash.addData(utf8);
    Wipe(utf8);
    return hash.result();
}

// Empty while nothing of ours is on the clipboard.
QByteArray& OurFingerprint() {
    static QByteArray fingerprint;
    return fingerprint;
}

bool HoldsOurText(QClipboard::Mode mode) {
    if (OurFingerprint().isEmpty()) {
        return false;
    }
    const QMimeData* data = QGuiApplication::clipboard()->mimeData(mode);
    if (data == nullptr || !data->hasText() || !IsMarkedSecret(*data)) {
        return false;
    }
    QString text = data->text();
    const bool ours = Fingerprint(text) == OurFingerprint();
    Wipe(text);
    return ours;
}

std::function<void()>& CopiedHandler() {
    static std::function<void()> handler;
    return handler;
}

}  // namespace

QMimeData* MakeSecretMimeData(const QString& text) {
    auto* data = new QMimeData;
    data->setText(text);
    data->setData(QLatin1String(kPasswordManagerHint), QByteArray(kSecret));
#ifdef Q_OS_WIN
    // Keeps the text out of clipboard history, cloud sync and clipboard monitors.
    const QByteArray no(4, '\0');
    data->setData(WindowsFormat("ExcludeClipboardContentFromMonitorProcessing"), no);
    data->setData(WindowsFormat("CanIncludeInClipboardHistory"), no);
    data->setData(WindowsFormat("CanUploadToCloudClipboard"), no);
#endif
#ifdef Q_OS_MACOS
    data->setData(QStringLiteral("org.nspasteboard.ConcealedType"), QByteArray());
#endif
    return data;
}

bool IsMarkedSecret(const QMimeData& data) {
    return data.data(QLatin1String(kPasswordManagerHint)) == kSecret;
}

void PutSecretTextOnClipboard(const QString& text) {
    QClipboard* clipboard = QGuiApplication::clipboard();
    // An empty text is never taken for ours: an emptied clipboard is nobody's.
    OurFingerprint() = text.isEmpty() ? QByteArray() : Fingerprint(text);
    clipboard->setMimeData(MakeSecretMimeData(text), QClipboard::Clipboard);
    // A copy, so that the handler may replace itself.
    if (const std::function<void()> handler = CopiedHandler()) {
        handler();
    }
}

void SetSecretCopiedHandler(std::function<void()> handler) {
    CopiedHandler() = std::move(handler);
}

bool ClipboardHoldsOurText() {
    return HoldsOurText(QClipboard::Clipboard);
}

bool ClearOurClipboardText() {
    QClipboard* clipboard = QGuiApplication::clipboard();
    bool cleared = false;
    if (HoldsOurText(QClipboard::Clipboard)) {
        clipboard->clear(QClipboard::Clipboard);
        cleared = true;
    }
    if (clipboard->supportsSelection() && HoldsOurText(QClipboard::Selection)) {
        clipboard->clear(QClipboard::Selection);
        cleared = true;
    }
    // Whatever is there now is somebody else's.
    OurFingerprint().clear();
    return cleared;
}

}  // namespace zelvant::ui
