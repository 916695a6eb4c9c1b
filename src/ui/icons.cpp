#include "ui/icons.h"

#include <QFile>
#include <array>
#include <mutex>

// Q_INIT_RESOURCE has to be used outside any namespace. The resources live in a static library,
// so nothing would pull them into the program without this reference.
static void InitBundle() {
    Q_INIT_RESOURCE(zelvant);
}

namespace zelvant::ui {
namespace {

struct IconEntry {
    std::string_view name;
    const char* theme;  // nullptr: always our own drawing
};

constexpr std::array kIcons{
    // commands
    IconEntry{"new", "document-new"},
    IconEntry{"open", "document-open"},
    IconEntry{"save", "document-save"},
    IconEntry{"save-as", "document-save-as"},
    IconEntry{"print", "document-print"},
    IconEntry{"exit", "application-exit"},
    IconEntry{"new-folder", "folder-new"},
    IconEntry{"new-record", "list-add"},
    IconEntry{"delete", "edit-delete"},
    IconEntry{"properties", "document-properties"},
    IconEntry{"keep-on-top", nullptr},
    IconEntry{"password-popup", nullptr},
    IconEntry{"customize-view", nullptr},
    IconEntry{"options", "preferences-system"},
    IconEntry{"help", "help-contents"},
    IconEntry{"about", "help-about"},
    IconEntry{"copy", "edit-copy"},
    IconEntry{"cut", "edit-cut"},
    IconEntry{"paste", "edit-paste"},
    IconEntry{"find", "edit-find"},
    // the password edits' show/hide toggle
    IconEntry{"reveal", nullptr},
    IconEntry{"conceal", nullptr},
    // the record dialog's location and e-mail buttons
    IconEntry{"web", "internet-web-browser"},
    IconEntry{"mail", "mail-message-new"},
    // the record dialog's password generator
    IconEntry{"generate", nullptr},
    // folder tree and popup tree
    IconEntry{"root", nullptr},
    IconEntry{"folder", nullptr},
    IconEntry{"folder-open", nullptr},
    IconEntry{"record", nullptr},
    // record list
    IconEntry{"blank", nullptr},
    IconEntry{"expired", nullptr},
    IconEntry{"expired-header", nullptr},
    IconEntry{"notes", nullptr},
    IconEntry{"notes-header", nullptr},
    // the program
    IconEntry{"zelvant", nullptr},
};

const IconEntry* Find(std::string_view name) {
    for (const IconEntry& entry : kIcons) {
        if (entry.name == name) {
            return &entry;
        }
    }
    return nullptr;
}

}  // namespace

void InitZelvantResources() {
    static std::once_flag once;
    std::call_once(once, InitBundle);
}

QString BundledIconPath(std::string_view name) {
    return QStringLiteral(":/icons/") +
           QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size())) +
           QStringLiteral(".svg");
}

QIcon BundledIcon(std::string_view name) {
    InitZelvantResources();
    const QString path = BundledIconPath(name);
    return QFile::exists(path) ? QIcon(path) : QIcon();
}

QString ThemeIconName(std::string_view name) {
    const IconEntry* entry = Find(name);
    return entry != nullptr && entry->theme != nullptr ? QString::fromLatin1(entry->theme)
                                                       : QString();
}

QIcon ZelvantIcon(std::string_view name) {
    if (Find(name) == nullptr) {
        return {};
    }
    const QString theme = ThemeIconName(name);
    if (!theme.isEmpty() && QIcon::hasThemeIcon(theme)) {
        return QIcon::fromTheme(theme);
    }
    return BundledIcon(name);
}

std::vector<std::string_view> IconNames() {
    std::vector<std::string_view> names;
    names.reserve(kIcons.size());
    for (const IconEntry& entry : kIcons) {
        names.push_back(entry.name);
    }
    return names;
}

QIcon AppIcon() {
    return BundledIcon("zelvant");
}

}  // namespace zelvant::ui
