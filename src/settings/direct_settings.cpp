#include "settings/direct_settings.h"

#include "settings/app_settings.h"

namespace zelvant::settings {

bool CDirectSettings::SingleInstance() const {
    return store_.ReadInt(kSettingsSection, "SingleInstance", 1) != 0;
}

bool CDirectSettings::Splash() const {
    return store_.ReadInt(kSettingsSection, "Splash", 1) != 0;
}

bool CDirectSettings::ClearMRU() const {
    return store_.ReadInt(kSettingsSection, "ClearMRU", 0) != 0;
}

int CDirectSettings::IconStartDelay() const {
    return store_.ReadInt(kSettingsSection, "IconStartDelay", 15);
}

void CDirectSettings::SetIconStartDelay(int seconds) {
    store_.WriteInt(kSettingsSection, "IconStartDelay", seconds);
}

int CDirectSettings::DelayWarn() const {
    return store_.ReadInt(kSettingsSection, "DelayWarn", 0);
}

void CDirectSettings::SetDelayWarn(int value) {
    store_.WriteInt(kSettingsSection, "DelayWarn", value);
}

int CDirectSettings::RegVersion() const {
    return store_.ReadInt(kSettingsSection, "RegVersion", 0);
}

void CDirectSettings::SetRegVersion(int version) {
    store_.WriteInt(kSettingsSection, "RegVersion", version);
}

int CDirectSettings::ExpiryWarningDays() const {
    constexpr int kDefault = 14;
    const int days = store_.ReadInt(kDisplaySection, "ExpiryWarningDays", kDefault);
    return days >= 0 && days <= 3650 ? days : kDefault;
}

std::string CDirectSettings::ReportCtrl() const {
    return store_.ReadString(kSettingsSection, "ReportCtrl", "");
}

void CDirectSettings::SetReportCtrl(const std::string& layout) {
    store_.WriteString(kSettingsSection, "ReportCtrl", layout);
}

ScreenPoint CDirectSettings::PopupPosition() const {
    return {store_.ReadInt(kSettingsSection, "PopupX", -1),
            store_.ReadInt(kSettingsSection, "PopupY", -1)};
}

void CDirectSettings::SetPopupPosition(ScreenPoint point) {
    store_.WriteInt(kSettingsSection, "PopupX", point.x);
    store_.WriteInt(kSettingsSection, "PopupY", point.y);
}

ScreenPoint CDirectSettings::PasswordDialogPosition() const {
    return {store_.ReadInt(kSettingsSection, "PwX", -1),
            store_.ReadInt(kSettingsSection, "PwY", -1)};
}

void CDirectSettings::SetPasswordDialogPosition(ScreenPoint point) {
    store_.WriteInt(kSettingsSection, "PwX", point.x);
    store_.WriteInt(kSettingsSection, "PwY", point.y);
}

std::string CDirectSettings::WindowPlacement() const {
    return store_.ReadString(kSettingsSection, "WindowPlacement", "");
}

void CDirectSettings::SetWindowPlacement(const std::string& placement) {
    store_.WriteString(kSettingsSection, "WindowPlacement", placement);
}

std::string CDirectSettings::LastTemplate() const {
    return store_.ReadString(kPrintingSection, "LastTemplate", "");
}

void CDirectSettings::SetLastTemplate(const std::string& name) {
    store_.WriteString(kPrintingSection, "LastTemplate", name);
}

bool RunVersionReset(ISettingsStore& store, const VersionResetHooks& hooks) {
    CDirectSettings direct(store);
    const bool reset = direct.RegVersion() != kSettingsVersion;
    if (reset) {
        direct.SetRegVersion(kSettingsVersion);
        direct.SetReportCtrl("");
        if (hooks.resetToolbarsAndShortcuts) {
            hooks.resetToolbarsAndShortcuts();
        }
    }
    if (hooks.addDefaultUserToolsIfEmpty) {
        hooks.addDefaultUserToolsIfEmpty();
    }
    return reset;
}

}  // namespace zelvant::settings
