#include "report/stored_print_flags.h"

#include "settings/app_settings.h"
#include "settings/qsettings_store.h"

namespace zelvant::report {

PrintFlags StoredPrintFlags() {
    settings::CQSettingsStore store;
    const settings::FieldFlags stored = settings::LoadSettings(store).printing;
    PrintFlags flags;
    for (const PrintFlagInfo& info : PrintFlagFields()) {
        flags.Set(info.field, stored.Get(info.field));
    }
    return flags;
}

}  // namespace zelvant::report
