#include "ui/query_dlg.h"

#include <QApplication>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QShowEvent>
#include <QStyle>
#include <QVBoxLayout>

#include "ui/message_box.h"

namespace zelvant::ui {

CQueryDlg::CQueryDlg(const QString& text, QWidget* parent) : QDialog(parent) {
    setWindowTitle(QApplication::applicationDisplayName());

    auto* icon = new QLabel(this);
    const int extent = style()->pixelMetric(QStyle::PM_MessageBoxIconSize, nullptr, this);
    icon->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxWarning).pixmap(extent, extent));
    icon->setAlignment(Qt::AlignTop);

    auto* question = new QLabel(text, this);
    question->setObjectName(QStringLiteral("question"));
    question->setWordWrap(true);
    question->setTextFormat(Qt::PlainText);

    dontAsk_ = new QCheckBox(tr("Don't ask this question again"), this);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Yes | QDialogButtonBox::No, this);
    yes_ = buttons->button(QDialogButtonBox::Yes);
    no_ = buttons->button(QDialogButtonBox::No);
    yes_->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* top = new QHBoxLayout;
    top->addWidget(icon);
    top->addWidget(question, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(dontAsk_);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    yes_->setFocus();
}

bool CQueryDlg::DontAskAgain() const {
    return dontAsk_->isChecked();
}

bool CQueryDlg::Ask(QWidget* parent, const QString& text, int& noQueryFlag) {
    if (noQueryFlag != 0) {
        return true;
    }
    CQueryDlg dialog(text, parent);
    const bool yes = ExecDialog(dialog) == QDialog::Accepted;
    noQueryFlag = dialog.DontAskAgain() ? 1 : 0;
    return yes;
}

void CQueryDlg::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    // A question that may destroy data gets the attention sound.
    if (!event->spontaneous()) {
        QApplication::beep();
    }
}

}  // namespace zelvant::ui
