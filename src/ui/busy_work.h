#pragma once
// Long work (a sealed file's key derivation, about a second) run on a thread of its own while the
// window keeps drawing itself, behind a small modal note that says what is happening.

#include <QString>
#include <functional>

#include "store/zelvant_doc.h"

class QWidget;

namespace zelvant::ui {

inline constexpr char kDerivingKeyText[] = "Deriving the file's key from the password\u2026";
inline constexpr char kMeasuringText[] = "Measuring how hard this computer can make the key\u2026";

// Runs `work` on another thread and returns when it is done. Meanwhile the event loop runs and a
// modal note with a busy bar stands over `parent`, so nothing else can be started.
void RunBusy(QWidget* parent, const QString& text, const std::function<void()>& work);

// The same services with each derivation and measurement run through RunBusy.
SealingServices BusySealing(QWidget* parent, SealingServices inner);

}  // namespace zelvant::ui
