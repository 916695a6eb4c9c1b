#pragma once
// The one way out of the program. Whatever ends it (the window closed, Exit from the menu or the
// tray, the desktop session ending, a termination signal), unsaved edits are saved with the
// user's say or, when nobody can be asked, kept in a recovery file; then the settings are written
// and the clipboard cleared. This class decides; the host does each step.

#include <cstdint>
#include <optional>

#include "store/zelvant_doc.h"

namespace zelvant::ui {

enum class ExitWay {
    Close,              // the window closed, Exit from the menu or the tray
    SessionWithUser,    // the desktop session ends and lets us ask
    SessionUnattended,  // the desktop session ends and does not
    Signal,             // SIGTERM, SIGINT or SIGHUP
};

// What becomes of unsaved edits on the way out.
enum class KeepStep { None, AskToSave, WriteRecovery };
KeepStep KeepStepFor(ExitWay way, bool modified);

class IShutdownHost {
  public:
    virtual ~IShutdownHost() = default;
    virtual bool DocumentModified() const = 0;
    // Grows with every edit (CZelvantDoc::EditCount).
    virtual std::uint64_t DocumentEdits() const = 0;
    // The save question; false when the user chose to stay or the save failed.
    virtual bool AskToSave() = 0;
    // Writes the recovery file without asking anything.
    virtual RecoveryResult WriteRecovery() = 0;
    // The edits could not be kept: the next start says so.
    virtual void NoteLostEdits(RecoveryResult why) = 0;
    virtual void WriteSettings() = 0;
    virtual void ClearClipboard() = 0;
};

class CShutdown {
  public:
    // Takes the way out; false when the user chose to stay. What became of the edits on a way
    // out taken stands until the document is edited again, so the window's close that follows
    // a session end asks nothing again.
    bool Leave(ExitWay way, IShutdownHost& host);
    bool Left(const IShutdownHost& host) const;

  private:
    std::optional<std::uint64_t> leftAtEdit_;
};

}  // namespace zelvant::ui
