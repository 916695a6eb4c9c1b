#pragma once
// The program's icons: the desktop theme's where it has a fitting one, else our own drawings
// from the resource bundle (":/icons/<name>.svg").

#include <QIcon>
#include <QString>
#include <string_view>
#include <vector>

namespace zelvant::ui {

// Registers the bundled resources; safe to call any number of times. The icon functions call it.
void InitZelvantResources();

// An icon by our own name ("save", "new-folder", "expired", ...). Toolbar and menu icons come
// from the theme when it has the matching freedesktop icon; tree and list images always come from
// the bundle so that rows look alike everywhere. A name we do not know yields a null icon.
QIcon ZelvantIcon(std::string_view name);

// Always the bundled drawing, whatever the theme offers.
QIcon BundledIcon(std::string_view name);

// The resource path of a bundled icon.
QString BundledIconPath(std::string_view name);

// The freedesktop theme name used for an icon, or an empty text when it always comes from the
// bundle.
QString ThemeIconName(std::string_view name);

// Every icon name ZelvantIcon knows.
std::vector<std::string_view> IconNames();

// The program's own icon, for windows, the tray and the desktop entry.
QIcon AppIcon();

}  // namespace zelvant::ui
