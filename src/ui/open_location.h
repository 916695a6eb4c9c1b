#pragma once
// Opening a record's location or mail address with the desktop's handler. Web and ftp addresses
// open at once; anything else (another scheme, a local file or program) is shown to the user
// first and opened only when they agree, since a location can name a program to run.

#include <QString>
#include <QUrl>
#include <functional>

class QWidget;

namespace zelvant::ui {

enum class LocationKind { Empty, Web, Other };

// The location read the way a browser's address bar reads it ("www.example.com" is a web
// address), and how it would be opened.
QUrl LocationUrl(const QString& location);
LocationKind ClassifyLocation(const QString& location);

// False when nothing was opened (empty, refused by the user, or no handler).
bool OpenLocation(QWidget* parent, const QString& location);
// "Mailto:" followed by the address, percent-encoded: nothing in it can add headers.
QString MailtoText(const QString& email);
bool SendEmail(QWidget* parent, const QString& email);

// Tests replace the desktop's opener and the question to the user.
using UrlOpener = std::function<bool(const QUrl&)>;
void SetUrlOpenerForTests(UrlOpener opener);

}  // namespace zelvant::ui
