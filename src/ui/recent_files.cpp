#include "ui/recent_files.h"

#include <QAction>
#include <QDir>
#include <QMenu>
#include <string>
#include <string_view>

#include "ui/commands.h"

namespace zelvant::ui {
namespace {

constexpr std::string_view kRecentSection = "Recent File List";

std::string EntryKey(int number) {
    return "File" + std::to_string(number);
}

}  // namespace

CRecentFiles::CRecentFiles(settings::ISettingsStore& store, QObject* parent)
    : QObject(parent), store_(store) {}

void CRecentFiles::SetMenu(QMenu* menu) {
    menu_ = menu;
    RebuildMenu();
}

void CRecentFiles::Load() {
    files_.clear();
    for (int i = 1; i <= cmd::kRecentFileCount; ++i) {
        const std::string entry = store_.ReadString(kRecentSection, EntryKey(i), "");
        if (!entry.empty()) {
            files_.append(QString::fromStdString(entry));
        }
    }
    RebuildMenu();
}

void CRecentFiles::Add(const QString& path) {
    files_.removeAll(path);
    files_.prepend(path);
    while (files_.size() > cmd::kRecentFileCount) {
        files_.removeLast();
    }
    Save();
    RebuildMenu();
}

void CRecentFiles::Remove(const QString& path) {
    if (files_.removeAll(path) > 0) {
        Save();
        RebuildMenu();
    }
}

void CRecentFiles::Forget() {
    files_.clear();
    Save();
    RebuildMenu();
}

void CRecentFiles::Save() {
    // Every slot is written, so entries a longer list left behind do not come back.
    for (int i = 1; i <= cmd::kRecentFileCount; ++i) {
        if (i <= files_.size()) {
            store_.WriteString(kRecentSection, EntryKey(i), files_[i - 1].toStdString());
        } else {
            store_.Remove(kRecentSection, EntryKey(i));
        }
    }
}

void CRecentFiles::RebuildMenu() {
    if (menu_ == nullptr) {
        return;
    }
    menu_->clear();
    for (int i = 0; i < files_.size(); ++i) {
        const QString path = files_[i];
        QAction* action = menu_->addAction(QStringLiteral("&%1 %2").arg(i + 1).arg(
            QDir::toNativeSeparators(path).replace(QLatin1Char('&'), QStringLiteral("&&"))));
        action->setStatusTip(tr("Open this document"));
        action->setData(cmd::kRecentFileFirst + i);
        connect(action, &QAction::triggered, this, [this, path] { emit OpenRequested(path); });
    }
    menu_->setEnabled(!files_.isEmpty());
}

}  // namespace zelvant::ui
