#include "ui/shutdown.h"

namespace zelvant::ui {

KeepStep KeepStepFor(ExitWay way, bool modified) {
    if (!modified) {
        return KeepStep::None;
    }
    switch (way) {
        case ExitWay::Close:
        case ExitWay::SessionWithUser:
            return KeepStep::AskToSave;
        case ExitWay::SessionUnattended:
        case ExitWay::Signal:
            break;
    }
    return KeepStep::WriteRecovery;
}

bool CShutdown::Left(const IShutdownHost& host) const {
    return leftAtEdit_ && *leftAtEdit_ == host.DocumentEdits();
}

bool CShutdown::Leave(ExitWay way, IShutdownHost& host) {
    // Edits already kept or given up on a way out taken before are not asked about again.
    const bool modified = host.DocumentModified() && !Left(host);
    switch (KeepStepFor(way, modified)) {
        case KeepStep::None:
            break;
        case KeepStep::AskToSave:
            if (!host.AskToSave()) {
                return false;
            }
            break;
        case KeepStep::WriteRecovery:
            if (const RecoveryResult result = host.WriteRecovery();
                result != RecoveryResult::Written) {
                host.NoteLostEdits(result);
            }
            break;
    }
    host.WriteSettings();
    host.ClearClipboard();
    leftAtEdit_ = host.DocumentEdits();
    return true;
}

}  // namespace zelvant::ui
