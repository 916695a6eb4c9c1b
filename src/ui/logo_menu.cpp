#include "ui/logo_menu.h"

#include <QApplication>
#include <QPaintEvent>
#include <QPainter>
#include <QStyleOption>

namespace zelvant::ui {
namespace {

bool stripShown = true;

}  // namespace

CLogoMenu::CLogoMenu(const QString& title, QWidget* parent) : QMenu(title, parent) {
    ApplyMargins();
}

void CLogoMenu::SetStripShown(bool shown) {
    stripShown = shown;
}

bool CLogoMenu::StripShown() {
    return stripShown;
}

bool CLogoMenu::HasStrip() const {
    return contentsMargins().left() >= kLogoStripWidth;
}

CLogoMenu* CLogoMenu::AddLogoMenu(const QString& title) {
    auto* menu = new CLogoMenu(title, this);
    addMenu(menu);
    return menu;
}

void CLogoMenu::ApplyMargins() {
    setContentsMargins(stripShown ? kLogoStripWidth : 0, 0, 0, 0);
}

bool CLogoMenu::event(QEvent* event) {
    // The setting may have changed since the menu was last shown; the margins must be right
    // before the menu measures itself.
    if (event->type() == QEvent::Show || event->type() == QEvent::Polish) {
        if (HasStrip() != stripShown) {
            ApplyMargins();
            adjustSize();
        }
    }
    return QMenu::event(event);
}

void CLogoMenu::paintEvent(QPaintEvent* event) {
    QMenu::paintEvent(event);
    if (!HasStrip()) {
        return;
    }
    QPainter painter(this);
    const QRect strip(0, 0, kLogoStripWidth, height());
    const QPalette& colours = palette();
    QLinearGradient fill(strip.topLeft(), strip.bottomLeft());
    fill.setColorAt(0.0, colours.color(QPalette::Highlight).lighter(130));
    fill.setColorAt(1.0, colours.color(QPalette::Highlight).darker(140));
    painter.fillRect(strip, fill);
    // A sunken edge between the strip and the items, as a 3-D frame would draw it.
    painter.setPen(colours.color(QPalette::Dark));
    painter.drawLine(strip.topRight(), strip.bottomRight());
    painter.setPen(colours.color(QPalette::Light));
    painter.drawLine(strip.topRight() + QPoint(1, 0), strip.bottomRight() + QPoint(1, 0));

    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(15);
    font.setBold(true);
    font.setItalic(true);
    painter.setFont(font);
    painter.setPen(colours.color(QPalette::HighlightedText));
    painter.translate(strip.left(), strip.bottom());
    painter.rotate(-90);
    // Rotated: x runs up the strip from its bottom, y across it.
    const QRect text(6, 0, strip.height() - 12, strip.width());
    painter.drawText(text, Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Zelvant"));
}

}  // namespace zelvant::ui
