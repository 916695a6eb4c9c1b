#pragma once
// Everything the program puts on the clipboard goes through here: the text is marked as secret
// for clipboard managers, and the program remembers what it put there, so that clearing later
// removes only its own text and never something the user copied since.

#include <QMimeData>
#include <QString>
#include <functional>

namespace zelvant::ui {

// Plain text plus the markers that ask clipboard managers and history tools not to keep it.
QMimeData* MakeSecretMimeData(const QString& text);
bool IsMarkedSecret(const QMimeData& data);

// Puts the text on the clipboard, marked as secret. Never on the X selection (PRIMARY): that one
// is handed to any program on a middle click and is cleared by nobody.
void PutSecretTextOnClipboard(const QString& text);

// Called after every secret put on the clipboard; the main window starts its clearing count
// there. An empty function removes the handler.
void SetSecretCopiedHandler(std::function<void()> handler);

// True while the clipboard still holds the last text this program put there.
bool ClipboardHoldsOurText();
// Empties the clipboard (and selection) only when it still holds our text; true when it did.
bool ClearOurClipboardText();

}  // namespace zelvant::ui
