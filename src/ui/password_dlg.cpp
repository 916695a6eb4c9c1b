#include "ui/password_dlg.h"
#include "ui/local_path.h"

#include <QAction>
#include <QDialogButtonBox>
#include <QFile>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QFormLayout>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QScreen>
#include <QSignalBlocker>
#include <QVBoxLayout>
#include <algorithm>

#include "settings/direct_settings.h"
#include "store/file_cipher.h"
#include "store/text_codec.h"
#include "ui/icons.h"
#include "ui/message_box.h"
#include "ui/strength_meter.h"

namespace zelvant::ui {
namespace {

constexpr Qt::InputMethodHints kSecretHints =
    Qt::ImhHiddenText | Qt::ImhSensitiveData | Qt::ImhNoPredictiveText | Qt::ImhNoAutoUppercase;

// The edit's text as UTF-8; the edit keeps its text.
void ReadEdit(const QLineEdit& edit, SecretText& out) {
    QByteArray bytes = edit.text().toUtf8();
    WipeText(out.text);
    out.text.assign(bytes.constData(), static_cast<std::size_t>(bytes.size()));
    SecureWipe(bytes.data(), static_cast<std::size_t>(bytes.size()));
}

// QLineEdit keeps its text in a QString of its own that cannot be wiped from outside. Setting an
// empty text drops the edit's reference and its undo history, so the buffer is wiped here when we
// hold the last reference; copies made by the text layout or an input method stay out of reach.
void WipeEdit(QLineEdit& edit) {
    QString held = edit.text();
    edit.setText(QString());
    if (!held.isEmpty() && held.isDetached()) {
        SecureWipe(held.data(), static_cast<std::size_t>(held.size()) * sizeof(QChar));
    }
}

void MoveSecret(SecretText& from, SecretText& to) {
    WipeText(to.text);
    to.text.assign(from.text.data(), from.text.size());
    WipeText(from.text);
}

QString Latin(const char* text) {
    return QString::fromLatin1(text);
}

QString ProtectionNote(FileForm form, bool newPassword) {
    if (form == FileForm::Sealed) {
        return newPassword ? QStringLiteral(
                                 "The file will be sealed (Argon2id, XChaCha20-Poly1305): "
                                 "every character of the password counts, up to %1.")
                                 .arg(kSealedPasswordMaxLength)
                           : QStringLiteral("Sealed file (Argon2id, XChaCha20-Poly1305)");
    }
    return newPassword ? QStringLiteral(
                             "The file keeps the legacy protection, which older versions can "
                             "open: only the first 16 characters of the password count, and a "
                             "copy of the file can be guessed at offline.")
                       : QStringLiteral("Legacy file (weak protection)");
}

}  // namespace

CPasswordDlgBase::CPasswordDlgBase(settings::ISettingsStore& store, QWidget* parent)
    : QDialog(parent), store_(store) {}

CPasswordDlgBase::~CPasswordDlgBase() {
    // The derived dialog is gone by now: its handlers of the edits must not hear the wipe.
    for (QLineEdit* edit : edits_) {
        const QSignalBlocker quiet(edit);
        WipeEdit(*edit);
    }
}

QLineEdit* CPasswordDlgBase::MakePasswordEdit(const QString& objectName) {
    auto* edit = new QLineEdit(this);
    edit->setObjectName(objectName);
    edit->setEchoMode(QLineEdit::Password);
    edit->setMaxLength(kPasswordMaxLength);
    edit->setInputMethodHints(kSecretHints);
    edit->setMinimumWidth(edit->fontMetrics().averageCharWidth() * 30);

    QAction* reveal = edit->addAction(ZelvantIcon("reveal"), QLineEdit::TrailingPosition);
    reveal->setObjectName(objectName + QLatin1String("Reveal"));
    reveal->setCheckable(true);
    reveal->setToolTip(QStringLiteral("Show password"));
    connect(reveal, &QAction::toggled, edit, [edit, reveal](bool shown) {
        edit->setEchoMode(shown ? QLineEdit::Normal : QLineEdit::Password);
        // Normal echo drops the privacy hints; the text is no less secret for being shown.
        edit->setInputMethodHints(kSecretHints);
        reveal->setIcon(ZelvantIcon(shown ? "conceal" : "reveal"));
        reveal->setToolTip(shown ? QStringLiteral("Hide password")
                                 : QStringLiteral("Show password"));
    });
    edits_.push_back(edit);
    return edit;
}

QLabel* CPasswordDlgBase::MakeProtectionLabel() {
    protection_ = new QLabel(this);
    protection_->setObjectName(QStringLiteral("protection"));
    protection_->setWordWrap(true);
    protection_->hide();
    return protection_;
}

void CPasswordDlgBase::SetProtection(FileForm form, bool newPassword) {
    form_ = form;
    const int most = form == FileForm::Sealed ? kSealedPasswordMaxLength : kPasswordMaxLength;
    for (QLineEdit* edit : edits_) {
        edit->setMaxLength(most);
    }
    if (protection_ != nullptr) {
        protection_->setText(ProtectionNote(form, newPassword));
        protection_->setMaximumWidth(edits_.empty() ? 400 : edits_.front()->minimumWidth() + 120);
        protection_->show();
    }
}

QWidget* CPasswordDlgBase::MakeButtons() {
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    buttons_ = buttons;
    return buttons;
}

void CPasswordDlgBase::Refuse(std::string_view message) {
    ShowMessageBox(this, QString::fromUtf8(message.data(), static_cast<qsizetype>(message.size())),
                   QMessageBox::Warning);
}

void CPasswordDlgBase::Finish() {
    settings::CDirectSettings(store_).SetPasswordDialogPosition({pos().x(), pos().y()});
    QDialog::accept();
}

void CPasswordDlgBase::done(int result) {
    for (QLineEdit* edit : edits_) {
        WipeEdit(*edit);
    }
    QDialog::done(result);
}

void CPasswordDlgBase::setVisible(bool visible) {
    if (visible && !isVisible()) {
        FitCaption();
        PlaceOnOpen();
    }
    QDialog::setVisible(visible);
}

void CPasswordDlgBase::changeEvent(QEvent* event) {
    QDialog::changeEvent(event);
    if (event->type() == QEvent::WindowTitleChange) {
        FitCaption();
    }
}

void CPasswordDlgBase::FitCaption() {
    if (buttons_ == nullptr) {
        return;
    }
    // The title bar's own font, with room for its icon and buttons.
    const QFontMetrics title(QFontDatabase::systemFont(QFontDatabase::TitleFont));
    int width = title.horizontalAdvance(windowTitle()) + 6 * title.height();
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        width = std::min(width, screen->availableGeometry().width() * 9 / 10);
    }
    if (const QLayout* outer = layout()) {
        width -= outer->contentsMargins().left() + outer->contentsMargins().right();
    }
    buttons_->setMinimumWidth(std::max(width, 0));
}

void CPasswordDlgBase::PlaceOnOpen() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (screen == nullptr) {
        return;  // QDialog places it
    }
    adjustSize();
    // Once the native window exists, frameGeometry() includes the frame wherever the window
    // system reports it before the first show, so the centring below counts it.
    (void)winId();
    const QRect desktop = screen->geometry();
    const settings::ScreenPoint stored = settings::CDirectSettings(store_).PasswordDialogPosition();
    if (stored.OnScreen(desktop.width(), desktop.height())) {
        move(stored.x, stored.y);
        return;
    }
    QRect around = screen->availableGeometry();
    if (const QWidget* owner = parentWidget() ? parentWidget()->window() : nullptr;
        owner != nullptr && owner->isVisible() && !owner->isMinimized()) {
        around = owner->frameGeometry();
    }
    QRect frame = frameGeometry();
    frame.moveCenter(around.center());
    move(frame.topLeft());
}

CPasswordDlg::CPasswordDlg(settings::ISettingsStore& store, QWidget* parent)
    : CPasswordDlgBase(store, parent) {
    auto* label = new QLabel(Latin(kEnterPasswordLabel), this);
    passwordEdit_ = MakePasswordEdit(QStringLiteral("password"));
    label->setBuddy(passwordEdit_);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(label);
    layout->addWidget(passwordEdit_);
    layout->addWidget(MakeProtectionLabel());
    layout->addWidget(MakeButtons());
    layout->setSizeConstraint(QLayout::SetFixedSize);
    passwordEdit_->setFocus();
}

void CPasswordDlg::accept() {
    SecretText typed;
    ReadEdit(*passwordEdit_, typed);
    if (typed.text.empty()) {
        Refuse(msg::kEmptyPassword);
        passwordEdit_->setFocus();
        return;
    }
    MoveSecret(typed, password_);
    Finish();
}

void CPasswordDlg::TakePassword(SecretText& password) {
    MoveSecret(password_, password);
}

CNewPasswordDlg::CNewPasswordDlg(settings::ISettingsStore& store, QWidget* parent)
    : CPasswordDlgBase(store, parent) {
    setWindowTitle(Latin(kNewPasswordCaption));
    passwordEdit_ = MakePasswordEdit(QStringLiteral("password"));
    confirmationEdit_ = MakePasswordEdit(QStringLiteral("confirmation"));

    auto* form = new QFormLayout;
    form->addRow(Latin(kEnterPasswordLabel), passwordEdit_);
    form->addRow(Latin(kConfirmPasswordLabel), confirmationEdit_);
    // A weak file password is asked about on OK; the meter shows it coming.
    strength_ = new CStrengthMeter(this);
    strength_->setObjectName(QStringLiteral("strength"));
    form->insertRow(1, QString(), strength_);
    // Only the characters that form the key make the file hard to open: all of them in a sealed
    // file, the first 16 bytes in a legacy one.
    connect(passwordEdit_, &QLineEdit::textChanged, strength_, [this](const QString& typed) {
        QByteArray utf8 = typed.toUtf8();
        const std::string_view whole(utf8.constData(), static_cast<std::size_t>(utf8.size()));
        std::string keyed =
            Form() == FileForm::Sealed ? std::string(whole) : KeyedPasswordPart(whole, kAesKeySize);
        strength_->SetPassword(
            QString::fromUtf8(keyed.data(), static_cast<qsizetype>(keyed.size())));
        WipeString(keyed);
        SecureWipe(utf8.data(), static_cast<std::size_t>(utf8.size()));
    });
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(MakeProtectionLabel());
    layout->addWidget(MakeButtons());
    layout->setSizeConstraint(QLayout::SetFixedSize);
    passwordEdit_->setFocus();
}

void CNewPasswordDlg::accept() {
    SecretText typed;
    SecretText confirmation;
    ReadEdit(*passwordEdit_, typed);
    ReadEdit(*confirmationEdit_, confirmation);
    if (typed.text.empty()) {
        Refuse(msg::kEmptyPassword);
        passwordEdit_->setFocus();
        return;
    }
    if (typed.text != confirmation.text) {
        Refuse(msg::kPasswordMismatch);
        return;
    }
    if (!ConfirmWeakFilePassword(this, strength_->Current())) {
        passwordEdit_->setFocus();
        return;
    }
    MoveSecret(typed, password_);
    MoveSecret(confirmation, confirmation_);
    Finish();
}

void CNewPasswordDlg::TakePasswords(SecretText& password, SecretText& confirmation) {
    MoveSecret(password_, password);
    MoveSecret(confirmation_, confirmation);
}

CQtPasswordPrompt::CQtPasswordPrompt(QWidget* parent, settings::ISettingsStore& store)
    : parent_(parent), store_(store) {}

bool CQtPasswordPrompt::AskPassword(const std::string& caption, FileForm form,
                                    SecretText& password) {
    CPasswordDlg dialog(store_, parent_.data());
    dialog.SetProtection(form, false);
    // The caption ends in a file name, which is in the file system's encoding.
    dialog.setWindowTitle(FromLocalPath(caption));
    if (ExecDialog(dialog) != QDialog::Accepted) {
        return false;
    }
    dialog.TakePassword(password);
    return true;
}

bool CQtPasswordPrompt::AskNewPassword(FileForm form, SecretText& password,
                                       SecretText& confirmation) {
    CNewPasswordDlg dialog(store_, parent_.data());
    dialog.SetProtection(form, true);
    if (ExecDialog(dialog) != QDialog::Accepted) {
        return false;
    }
    dialog.TakePasswords(password, confirmation);
    return true;
}

}  // namespace zelvant::ui
