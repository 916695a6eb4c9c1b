#pragma once
// The user guide that Help opens: installed with the program, or beside it in a build tree.

#include <QString>

class QWidget;

namespace zelvant::ui {

// The installed share/doc/zelvant/user-guide.html found from the program's folder, else
// doc/user-guide.html beside the program, whichever exists first; the installed path when
// neither does, so that a message can name it.
QString UserGuidePath(const QString& programFolder);

// Opens the guide in the desktop's browser, or says why it cannot.
void OpenUserGuide(QWidget* parent);

}  // namespace zelvant::ui
