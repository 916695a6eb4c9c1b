#include "ui/protection_bar.h"
#include "ui/local_path.h"

#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QMessageBox>
#include <QPushButton>
#include <QStyle>
#include <filesystem>
#include <system_error>

#include "ui/message_box.h"

namespace zelvant::ui {
namespace {

// Asks a Yes/No question; No is the answer to anything but Yes.
bool Ask(QWidget* parent, const QString& text, QMessageBox::Icon icon) {
    QMessageBox box(icon, MessageCaption({}), text, QMessageBox::Yes | QMessageBox::No, parent);
    box.setTextFormat(Qt::PlainText);
    box.setDefaultButton(QMessageBox::No);
    return ExecDialog(box) == QMessageBox::Yes;
}

}  // namespace

CProtectionBar::CProtectionBar(QWidget* parent) : QFrame(parent) {
    setObjectName(QStringLiteral("ProtectionBar"));
    setFrameShape(QFrame::StyledPanel);
    setAutoFillBackground(true);
    QPalette tinted = palette();
    tinted.setColor(QPalette::Window, QColor(0xFF, 0xF4, 0xCE));
    tinted.setColor(QPalette::WindowText, QColor(0x40, 0x30, 0x00));
    setPalette(tinted);

    auto* icon = new QLabel(this);
    const int size = style()->pixelMetric(QStyle::PM_SmallIconSize);
    icon->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxWarning).pixmap(size, size));
    auto* text = new QLabel(QString::fromUtf8(kLegacyBarText), this);
    text->setWordWrap(true);
    strengthen_ = new QPushButton(QString::fromUtf8(kStrengthenButton), this);
    strengthen_->setObjectName(QStringLiteral("Strengthen"));
    notNow_ = new QPushButton(QString::fromUtf8(kNotNowButton), this);
    notNow_->setObjectName(QStringLiteral("NotNow"));

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(8, 4, 8, 4);
    layout->addWidget(icon);
    layout->addWidget(text, 1);
    layout->addWidget(strengthen_);
    layout->addWidget(notNow_);

    connect(strengthen_, &QPushButton::clicked, this, &CProtectionBar::StrengthenRequested);
    connect(notNow_, &QPushButton::clicked, this, [this] {
        putOff_.insert(path_);
        hide();
    });
    hide();
}

void CProtectionBar::ShowFor(const QString& path, FileForm form) {
    path_ = path.isEmpty() ? QString() : QFileInfo(path).absoluteFilePath();
    setVisible(form == FileForm::Legacy && !path_.isEmpty() && !putOff_.contains(path_));
}

CProtectionLabel::CProtectionLabel(QWidget* parent) : QLabel(parent) {
    setObjectName(QStringLiteral("Protection"));
}

void CProtectionLabel::ShowFor(const CZelvantDoc& doc) {
    const bool sealed = doc.Form() == FileForm::Sealed;
    const bool saved = !doc.PathName().empty();
    setText(sealed ? tr("Sealed") : tr("Legacy (weak)"));
    QString tip = QString::fromStdString(ProtectionText(doc.Form(), doc.Params()));
    tip[0] = tip[0].toUpper();
    if (!saved) {
        tip = tr("New file, when saved: %1").arg(tip);
    } else if (sealed) {
        tip +=
            tr("\nA copy of the file resists password guessing, and any change to it is "
               "noticed.");
    } else {
        tip +=
            tr("\nThe key is the password itself: a copy of the file can be guessed at "
               "offline, very fast. File > Strengthen Protection seals it.");
    }
    setToolTip(tip);
}

bool StrengthenProtection(QWidget* parent, CZelvantDoc& doc) {
    if (doc.PathName().empty() || doc.Form() != FileForm::Legacy) {
        return false;
    }
    const QString name = QFileInfo(FromLocalPath(doc.PathName())).fileName();
    const auto warn = [&] {
        return Ask(parent,
                   QObject::tr("Older versions of Zelvant cannot open %1 once it is sealed.\n\n"
                               "Seal it now?")
                       .arg(name),
                   QMessageBox::Warning);
    };
    if (!doc.ChangeProtection(FileForm::Sealed, warn)) {
        return false;
    }
    if (LegacyBackupBeside(doc.PathName())) {
        const std::string backup = BackupPathFor(doc.PathName());
        const QString backupName = QFileInfo(FromLocalPath(backup)).fileName();
        if (Ask(parent,
                QObject::tr("The backup %1 beside it is an older copy with the old, weak "
                            "encryption. Anyone who gets it can still try passwords on it.\n\n"
                            "Remove %1?")
                    .arg(backupName),
                QMessageBox::Question)) {
            std::error_code ec;
            if (!std::filesystem::remove(backup, ec) || ec) {
                ShowMessageBox(parent,
                               QString::fromStdString(FileErrorText("remove", backup, ec.value())),
                               QMessageBox::Warning);
            }
        }
    }
    return true;
}

}  // namespace zelvant::ui
