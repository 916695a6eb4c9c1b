#include "ui/appearance.h"

#include <QApplication>
#include <QGuiApplication>
#include <QPalette>
#include <QStyle>
#include <QStyleFactory>
#include <QStyleHints>
#include <optional>

namespace zelvant::ui {
namespace {

struct PlatformLook {
    QString styleName;
    QPalette palette;
};

std::optional<PlatformLook>& Remembered() {
    static std::optional<PlatformLook> look;
    return look;
}

std::optional<Appearance>& Applied() {
    static std::optional<Appearance> applied;
    return applied;
}

QPalette DarkPalette() {
    QPalette dark;
    const QColor window(45, 45, 48);
    const QColor base(30, 30, 32);
    const QColor text(230, 230, 230);
    const QColor disabled(128, 128, 128);
    dark.setColor(QPalette::Window, window);
    dark.setColor(QPalette::WindowText, text);
    dark.setColor(QPalette::Base, base);
    dark.setColor(QPalette::AlternateBase, window);
    dark.setColor(QPalette::ToolTipBase, window);
    dark.setColor(QPalette::ToolTipText, text);
    dark.setColor(QPalette::PlaceholderText, disabled);
    dark.setColor(QPalette::Text, text);
    dark.setColor(QPalette::Button, window);
    dark.setColor(QPalette::ButtonText, text);
    dark.setColor(QPalette::BrightText, QColor(255, 90, 90));
    dark.setColor(QPalette::Light, QColor(70, 70, 74));
    dark.setColor(QPalette::Midlight, QColor(60, 60, 64));
    dark.setColor(QPalette::Mid, QColor(40, 40, 42));
    dark.setColor(QPalette::Dark, QColor(20, 20, 22));
    dark.setColor(QPalette::Shadow, Qt::black);
    dark.setColor(QPalette::Highlight, QColor(42, 130, 218));
    dark.setColor(QPalette::HighlightedText, Qt::white);
    dark.setColor(QPalette::Link, QColor(100, 170, 240));
    dark.setColor(QPalette::LinkVisited, QColor(170, 130, 240));
    for (QPalette::ColorRole role :
         {QPalette::WindowText, QPalette::Text, QPalette::ButtonText, QPalette::HighlightedText}) {
        dark.setColor(QPalette::Disabled, role, disabled);
    }
    dark.setColor(QPalette::Disabled, QPalette::Highlight, QColor(80, 80, 80));
    return dark;
}

}  // namespace

bool DesktopPrefersDark() {
#if QT_VERSION >= QT_VERSION_CHECK(6, 5, 0)
    if (QGuiApplication::styleHints()->colorScheme() != Qt::ColorScheme::Unknown) {
        return QGuiApplication::styleHints()->colorScheme() == Qt::ColorScheme::Dark;
    }
#endif
    // Older Qt does not name the scheme; the platform's window colour tells it.
    const QPalette palette = Remembered() ? Remembered()->palette : QGuiApplication::palette();
    return palette.color(QPalette::Window).lightness() < 128;
}

void ApplyAppearance(const Appearance& look) {
    auto* app = qobject_cast<QApplication*>(QCoreApplication::instance());
    if (app == nullptr) {
        return;
    }
    if (!Remembered()) {
        Remembered() = PlatformLook{QApplication::style()->name(), QApplication::palette()};
        if (look == Appearance{}) {
            Applied() = look;
            return;
        }
    }
    if (Applied() == look) {
        return;
    }
    Applied() = look;
    const PlatformLook& platform = *Remembered();
    const QString styleName =
        look.style == StyleChoice::Fusion ? QStringLiteral("Fusion") : platform.styleName;
    if (QApplication::style()->name().compare(styleName, Qt::CaseInsensitive) != 0) {
        if (QStyle* style = QStyleFactory::create(styleName)) {
            QApplication::setStyle(style);
        }
    }
    const bool dark = look.colours == ColourChoice::Dark ||
                      (look.colours == ColourChoice::Desktop && DesktopPrefersDark());
    if (dark) {
        QApplication::setPalette(DarkPalette());
    } else if (look.colours == ColourChoice::Light && DesktopPrefersDark()) {
        // A light look on a dark desktop: the style's own light colours.
        QApplication::setPalette(QApplication::style()->standardPalette());
    } else {
        QApplication::setPalette(look.style == StyleChoice::Fusion
                                     ? QApplication::style()->standardPalette()
                                     : platform.palette);
    }
}

}  // namespace zelvant::ui
