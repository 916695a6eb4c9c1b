#pragma once
// Everything the program puts on the clipboard goes through here: the text is marked as secret
// for clipboard managers, and the program remembers what it put there, so that clearing later
// removes only its own text and never something the user copied since.

#include <QMimeData>
#include <QString>

namespace zelvant::ui {

// Plain text plus the markers that ask clipboard managers and history tools not to keep it.
QMimeData* MakeSecretMimeData(const QString& text);
bool IsMarkedSecret(const QMimeData& data);

// Puts the text on the clipboard (and the X selection where there is one), marked as secret.
void PutSecretTextOnClipboard(const QString& text);

// True while the clipboard still holds the last text this program put there.
bool ClipboardHoldsOurText();
// Empties the clipboard (and selection) only when it still holds our text; true when it did.
bool ClearOurClipboardText();

}  // namespace zelvant::ui
