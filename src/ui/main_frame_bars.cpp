// The main window's customisable part: toolbars, keys, user tools, the menus' logo strip and
// the look, all shown from the one CBarCustomization the window holds.

#include <QAction>
#include <QActionGroup>
#include <QDir>
#include <QFileInfo>
#include <QMenu>
#include <QProcess>
#include <QStandardPaths>
#include <QToolBar>

#include "ui/appearance.h"
#include "ui/commands.h"
#include "ui/customize_dlg.h"
#include "ui/logo_menu.h"
#include "ui/main_frame.h"
#include "ui/message_box.h"

namespace zelvant::ui {
namespace {

constexpr int kLargeIconSize = 32;

QString StartTool(const ToolLaunch& launch) {
    if (!launch.folder.isEmpty() && !QFileInfo(launch.folder).isDir()) {
        return CMainFrame::tr("The folder \"%1\" does not exist.")
            .arg(QDir::toNativeSeparators(launch.folder));
    }
    QProcess process;
    process.setProgram(launch.program);
    process.setArguments(launch.arguments);
    process.setWorkingDirectory(launch.folder);
    if (!process.startDetached()) {
        return CMainFrame::tr("The program \"%1\" cannot be started: %2")
            .arg(launch.program, process.errorString());
    }
    return {};
}

QString ToolTipWithKey(const QString& tip, const QList<QKeySequence>& keys) {
    if (tip.isEmpty() || keys.isEmpty()) {
        return tip;
    }
    return tip + QStringLiteral(" (") + keys.front().toString(QKeySequence::NativeText) +
           QStringLiteral(")");
}

}  // namespace

void CMainFrame::CreateCustomizableActions() {
    launcher_ = StartTool;
    auto* customize = MakeAction(cmd::kCustomize, this);
    actions_[cmd::kCustomize] = customize;
    addAction(customize);
    connect(customize, &QAction::triggered, this, [this] { OpenCustomizeSheet(); });
    for (int id = cmd::kUserToolbarFirst; id <= cmd::kUserToolbarLast; ++id) {
        QAction* toggle = MakeAction(id, this);
        actions_[id] = toggle;
        addAction(toggle);
        toggle->setVisible(false);
        connect(toggle, &QAction::triggered, this, [this, id](bool on) {
            if (QToolBar* bar = Toolbar(id)) {
                bar->setVisible(on);
            }
        });
    }
    for (int id = cmd::kUserToolFirst; id <= cmd::kUserToolLast; ++id) {
        QAction* tool = MakeAction(id, this);
        actions_[id] = tool;
        addAction(tool);
        tool->setVisible(false);
        connect(tool, &QAction::triggered, this,
                [this, index = id - cmd::kUserToolFirst] { RunUserTool(index); });
    }
}

QToolBar* CMainFrame::Toolbar(int id) const {
    const auto it = toolbars_.find(id);
    return it == toolbars_.end() ? nullptr : it->second;
}

void CMainFrame::RebuildToolbar(QToolBar* bar, const ToolbarSpec& spec) {
    for (QAction* action : bar->actions()) {
        if (action == finderAction_) {
            continue;
        }
        bar->removeAction(action);
        // Separators belong to the bar; the commands' actions belong to the window.
        if (action->isSeparator() && action->parent() == bar) {
            delete action;
        }
    }
    QAction* before = bar == toolbar_ ? finderAction_ : nullptr;
    for (int id : spec.commands) {
        if (id == 0) {
            bar->insertSeparator(before);
        } else if (QAction* action = Action(id)) {
            bar->insertAction(before, action);
        }
    }
    if (before != nullptr && !spec.commands.empty()) {
        bar->insertSeparator(before);
    }
}

void CMainFrame::ApplyCustomization() {
    // Bars the state no longer has go first, so that their toggles are free.
    for (auto it = toolbars_.begin(); it != toolbars_.end();) {
        if (custom_.FindToolbar(it->first) == nullptr && it->second != toolbar_) {
            removeToolBar(it->second);
            delete it->second;
            it = toolbars_.erase(it);
        } else {
            ++it;
        }
    }
    const QSize iconSize = custom_.LargeIcons() ? QSize(kLargeIconSize, kLargeIconSize) : QSize();
    for (const ToolbarSpec& spec : custom_.Toolbars()) {
        QToolBar* bar = Toolbar(spec.id);
        if (bar == nullptr) {
            bar = new QToolBar(spec.name, this);
            bar->setObjectName(
                QStringLiteral("UserToolbar%1").arg(spec.id - cmd::kUserToolbarFirst + 1));
            QAction* toggle = Action(spec.id);
            connect(bar, &QToolBar::visibilityChanged, toggle, &QAction::setChecked);
            toolbars_[spec.id] = bar;
            addToolBar(Qt::TopToolBarArea, bar);
        }
        bar->setWindowTitle(spec.name);
        RebuildToolbar(bar, spec);
        bar->setIconSize(iconSize.isValid()
                             ? iconSize
                             : QSize(bar->style()->pixelMetric(QStyle::PM_ToolBarIconSize),
                                     bar->style()->pixelMetric(QStyle::PM_ToolBarIconSize)));
        bar->setVisible(spec.visible);
        if (QAction* toggle = Action(spec.id)) {
            toggle->setChecked(spec.visible);
        }
    }
    for (int id = cmd::kUserToolbarFirst; id <= cmd::kUserToolbarLast; ++id) {
        const ToolbarSpec* spec = custom_.FindToolbar(id);
        QAction* toggle = Action(id);
        toggle->setVisible(spec != nullptr);
        if (spec != nullptr) {
            toggle->setText(QString(spec->name).replace(QLatin1Char('&'), QStringLiteral("&&")));
        }
    }

    // Tools before keys, so that a tool's tool tip carries its key.
    const auto& tools = custom_.Tools();
    for (int i = 0; i < kMaxUserTools; ++i) {
        QAction* action = Action(cmd::kUserToolFirst + i);
        const bool used = i < int(tools.size());
        action->setVisible(used);
        action->setEnabled(used);
        if (used) {
            const QString name = tools[i].name.isEmpty() ? tools[i].command : tools[i].name;
            action->setText(name);
            action->setToolTip(name);
        }
    }
    for (const auto& [id, action] : actions_) {
        if (!IsCustomizableCommand(id)) {
            continue;
        }
        const QList<QKeySequence> keys = custom_.Shortcuts(id);
        action->setShortcuts(keys);
        const bool tool = id >= cmd::kUserToolFirst && id <= cmd::kUserToolLast;
        const QString tip = tool ? action->text() : QString::fromLatin1(FindCommand(id)->toolTip);
        if (!tip.isEmpty()) {
            action->setToolTip(ToolTipWithKey(tip, keys));
        }
    }
    RebuildToolsMenu();

    CLogoMenu::SetStripShown(custom_.LogoStrip());
    ApplyAppearance(custom_.Look());
    for (QAction* action : findChildren<QAction*>(QStringLiteral("appearance"))) {
        const Appearance look = custom_.Look();
        const QVariant value = action->data();
        const bool isStyle = value.toString().startsWith(QLatin1String("style:"));
        const int choice = value.toString().section(QLatin1Char(':'), 1).toInt();
        action->setChecked(isStyle ? choice == int(look.style) : choice == int(look.colours));
    }
}

void CMainFrame::RebuildToolsMenu() {
    if (toolsMenu_ == nullptr) {
        return;
    }
    toolsMenu_->clear();
    for (int i = 0; i < int(custom_.Tools().size()); ++i) {
        toolsMenu_->addAction(Action(cmd::kUserToolFirst + i));
    }
    if (!custom_.Tools().empty()) {
        toolsMenu_->addSeparator();
    }
    toolsMenu_->addAction(tr("Customize &Tools..."), this,
                          [this] { OpenCustomizeSheet(CCustomizeSheet::kToolsPage); });
}

void CMainFrame::AddAppearanceMenu(QMenu& menu) {
    auto* styles = new QActionGroup(&menu);
    auto* colours = new QActionGroup(&menu);
    const auto add = [this, &menu](QActionGroup* group, const QString& text, const QString& key) {
        QAction* action = menu.addAction(text);
        action->setObjectName(QStringLiteral("appearance"));
        action->setCheckable(true);
        action->setData(key);
        group->addAction(action);
        connect(action, &QAction::triggered, this, [this, key] {
            CBarCustomization state = custom_;
            Appearance look = state.Look();
            const int choice = key.section(QLatin1Char(':'), 1).toInt();
            if (key.startsWith(QLatin1String("style:"))) {
                look.style = StyleChoice(choice);
            } else {
                look.colours = ColourChoice(choice);
            }
            state.SetLook(look);
            SetCustomization(state);
        });
    };
    add(styles, tr("&Platform Style"), QStringLiteral("style:%1").arg(int(StyleChoice::Platform)));
    add(styles, tr("&Fusion"), QStringLiteral("style:%1").arg(int(StyleChoice::Fusion)));
    menu.addSeparator();
    add(colours, tr("Follow the &Desktop"),
        QStringLiteral("colours:%1").arg(int(ColourChoice::Desktop)));
    add(colours, tr("&Light"), QStringLiteral("colours:%1").arg(int(ColourChoice::Light)));
    add(colours, tr("D&ark"), QStringLiteral("colours:%1").arg(int(ColourChoice::Dark)));
}

void CMainFrame::TakeToolbarVisibility() {
    for (const auto& [id, bar] : toolbars_) {
        custom_.SetToolbarVisible(id, !bar->isHidden());
    }
}

void CMainFrame::SetCustomization(const CBarCustomization& state) {
    custom_ = state;
    ApplyCustomization();
    custom_.Save(store_);
}

void CMainFrame::OpenCustomizeSheet(int page) {
    TakeToolbarVisibility();
    CCustomizeSheet sheet(custom_, this);
    sheet.ShowPage(page);
    if (ExecDialog(sheet) == QDialog::Accepted) {
        SetCustomization(sheet.State());
    }
}

void CMainFrame::RunUserTool(int index) {
    if (index < 0 || index >= int(custom_.Tools().size())) {
        return;
    }
    const ToolLaunch launch =
        PrepareTool(custom_.Tools()[index], QString::fromStdString(doc_->PathName()));
    const QString error = launch.error.isEmpty() ? launcher_(launch) : launch.error;
    if (!error.isEmpty()) {
        ShowMessageBox(this, error, QMessageBox::Warning);
    }
}

void CMainFrame::ResetToolbarsAndShortcuts() {
    custom_.ResetToolbarsAndShortcuts();
    ResetBars();
    ApplyCustomization();
}

void CMainFrame::AddDefaultToolsIfEmpty() {
    if (!custom_.Tools().empty()) {
        return;
    }
    const auto exists = [](const QString& program) {
        return !QStandardPaths::findExecutable(program).isEmpty();
    };
    for (const UserTool& tool : DefaultTools(exists, qEnvironmentVariable("VISUAL"))) {
        custom_.AddTool(tool);
    }
    ApplyCustomization();
}

}  // namespace zelvant::ui
