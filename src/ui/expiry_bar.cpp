#include "ui/expiry_bar.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QToolButton>

#include "ui/icons.h"

namespace zelvant::ui {
namespace {

QString Records(int n) {
    return n == 1 ? QStringLiteral("1 record") : QStringLiteral("%1 records").arg(n);
}

}  // namespace

CExpiryBar::CExpiryBar(QWidget* parent) : QFrame(parent) {
    setObjectName(QStringLiteral("ExpiryBar"));
    setFrameShape(QFrame::StyledPanel);
    setAutoFillBackground(true);
    QPalette tinted = palette();
    tinted.setColor(QPalette::Window, QColor(255, 244, 206));
    tinted.setColor(QPalette::WindowText, QColor(60, 45, 0));
    setPalette(tinted);

    auto* icon = new QLabel(this);
    icon->setPixmap(ZelvantIcon("expired").pixmap(16, 16));
    text_ = new QLabel(this);
    text_->setObjectName(QStringLiteral("expiryText"));
    show_ = new QPushButton(tr("&Show"), this);
    show_->setObjectName(QStringLiteral("expiryShow"));
    show_->setToolTip(tr("List these records"));
    close_ = new QToolButton(this);
    close_->setObjectName(QStringLiteral("expiryClose"));
    close_->setIcon(style()->standardIcon(QStyle::SP_TitleBarCloseButton));
    close_->setToolTip(tr("Dismiss"));
    close_->setAccessibleName(tr("Dismiss"));
    close_->setAutoRaise(true);

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(6, 3, 3, 3);
    layout->addWidget(icon);
    layout->addWidget(text_, 1);
    layout->addWidget(show_);
    layout->addWidget(close_);

    connect(show_, &QPushButton::clicked, this, &CExpiryBar::ShowRequested);
    connect(close_, &QToolButton::clicked, this, &QWidget::hide);
    hide();
}

QString CExpiryBar::Text(int expired, int expiring, int days) {
    const QString within =
        days == 1 ? QStringLiteral("within a day") : QStringLiteral("within %1 days").arg(days);
    if (expired > 0 && expiring > 0) {
        return QStringLiteral("%1 expired, and %2 %3.")
            .arg(Records(expired) +
                     (expired == 1 ? QStringLiteral(" has") : QStringLiteral(" have")),
                 QString::number(expiring),
                 (expiring == 1 ? QStringLiteral("expires ") : QStringLiteral("expire ")) + within);
    }
    if (expired > 0) {
        return Records(expired) +
               (expired == 1 ? QStringLiteral(" has expired.") : QStringLiteral(" have expired."));
    }
    return Records(expiring) +
           (expiring == 1 ? QStringLiteral(" expires ") : QStringLiteral(" expire ")) + within +
           QLatin1Char('.');
}

void CExpiryBar::Report(int expired, int expiring, int days) {
    if (expired <= 0 && expiring <= 0) {
        hide();
        return;
    }
    text_->setText(Text(expired, expiring, days));
    show();
}

}  // namespace zelvant::ui
