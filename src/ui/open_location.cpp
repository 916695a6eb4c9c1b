#include "ui/open_location.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QMessageBox>
#include <QPushButton>
#include <utility>

#include "ui/message_box.h"

namespace zelvant::ui {
namespace {

UrlOpener& Opener() {
    static UrlOpener opener;
    return opener;
}

bool Open(const QUrl& url) {
    // A copy, so that a test opener may replace itself while it runs.
    if (const UrlOpener opener = Opener()) {
        return opener(url);
    }
    return QDesktopServices::openUrl(url);
}

// Starting a browser can take a moment.
bool OpenWithWaitCursor(const QUrl& url) {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const bool opened = Open(url);
    QApplication::restoreOverrideCursor();
    return opened;
}

bool UserAgreesToOpen(QWidget* parent, const QUrl& url) {
    const QString text =
        QStringLiteral(
            "This location is not a web address. Opening it may start a program on this "
            "computer:\n\n%1\n\nOpen it anyway?")
            .arg(url.toDisplayString());
    QMessageBox box(QMessageBox::Question, MessageCaption({}), text,
                    QMessageBox::Yes | QMessageBox::No, parent);
    box.setTextFormat(Qt::PlainText);
    box.setDefaultButton(QMessageBox::No);
    box.setEscapeButton(QMessageBox::No);
    const int result = ExecDialog(box);
    return result == QMessageBox::Yes || box.clickedButton() == box.button(QMessageBox::Yes);
}

}  // namespace

QUrl LocationUrl(const QString& location) {
    // With the working folder given, a relative name of an existing file is that file, as the
    // shell would take it, not a host name.
    return QUrl::fromUserInput(location.trimmed(), QDir::currentPath());
}

LocationKind ClassifyLocation(const QString& location) {
    if (location.trimmed().isEmpty()) {
        return LocationKind::Empty;
    }
    const QUrl url = LocationUrl(location);
    if (!url.isValid() || url.host().isEmpty()) {
        return LocationKind::Other;
    }
    const QString scheme = url.scheme().toLower();
    const bool web = scheme == QLatin1String("http") || scheme == QLatin1String("https") ||
                     scheme == QLatin1String("ftp");
    return web ? LocationKind::Web : LocationKind::Other;
}

bool OpenLocation(QWidget* parent, const QString& location) {
    switch (ClassifyLocation(location)) {
        case LocationKind::Empty:
            return false;
        case LocationKind::Web:
            return OpenWithWaitCursor(LocationUrl(location));
        case LocationKind::Other: {
            const QUrl url = LocationUrl(location);
            return UserAgreesToOpen(parent, url) && OpenWithWaitCursor(url);
        }
    }
    return false;
}

QString MailtoText(const QString& email) {
    // Encoded whole, so that "?", "&" or "#" in the field cannot add headers, a body or an
    // attachment: the field is only ever the address. "@", "+" and the comma between addresses
    // mean nothing more there and stay readable.
    return QStringLiteral("Mailto:") +
           QString::fromLatin1(QUrl::toPercentEncoding(email, QByteArrayLiteral("@,+")));
}

bool SendEmail(QWidget* parent, const QString& email) {
    Q_UNUSED(parent);
    if (email.isEmpty()) {
        return false;
    }
    // A mailto: address only ever starts the mail program, so it needs no question.
    const QUrl url = QUrl::fromEncoded(MailtoText(email).toLatin1(), QUrl::StrictMode);
    if (!url.isValid()) {
        return false;
    }
    return Open(url);
}

void SetUrlOpenerForTests(UrlOpener opener) {
    Opener() = std::move(opener);
}

}  // namespace zelvant::ui
