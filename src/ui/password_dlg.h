#pragma once
// The two file-password dialogs and the prompt that shows them for the document. Each dialog
// checks its own entries before it closes with OK, so the document never has to ask again.

#include <QDialog>
#include <QPointer>
#include <string>
#include <string_view>
#include <vector>

#include "settings/settings_store.h"
#include "store/secure.h"
#include "store/zelvant_doc.h"

class QAction;
class QLabel;
class QLineEdit;

namespace zelvant::ui {

class CStrengthMeter;

// Characters each password edit accepts: a legacy file's (and the security password's), and a
// sealed file's.
inline constexpr int kPasswordMaxLength = 32;
inline constexpr int kSealedPasswordMaxLength = static_cast<int>(kMaxSealedPasswordChars);
inline constexpr char kNewPasswordCaption[] = "File Password";
inline constexpr char kEnterPasswordLabel[] = "Enter password:";
inline constexpr char kConfirmPasswordLabel[] = "Confirm password:";

// Placement and password edits shared by both dialogs. The dialog opens where the last password
// dialog was closed with OK, when that point lies on the primary screen, else centred.
class CPasswordDlgBase : public QDialog {
    Q_OBJECT

  public:
    ~CPasswordDlgBase() override;
    void setVisible(bool visible) override;

    // Says which protection the file has (or gets) and lets the edits take the passwords that
    // form allows. Without it the dialog shows no protection and takes kPasswordMaxLength.
    void SetProtection(FileForm form, bool newPassword);
    QLabel* ProtectionLabel() const { return protection_; }
    FileForm Form() const { return form_; }

  protected:
    CPasswordDlgBase(settings::ISettingsStore& store, QWidget* parent);

    // A password edit with a show/hide toggle, limited to kPasswordMaxLength characters.
    QLineEdit* MakePasswordEdit(const QString& objectName);
    // OK and Cancel, wired to accept() and reject().
    QWidget* MakeButtons();
    // The line that SetProtection fills, hidden until then.
    QLabel* MakeProtectionLabel();
    // Shows the message and leaves the dialog open.
    void Refuse(std::string_view message);
    // Stores the position and closes with OK.
    void Finish();
    // The typed texts leave the edits whichever way the dialog closes.
    void done(int result) override;

  private:
    void PlaceOnOpen();

    settings::ISettingsStore& store_;
    std::vector<QLineEdit*> edits_;
    QLabel* protection_ = nullptr;
    FileForm form_ = FileForm::Legacy;
};

// The password of an existing file; the caller sets the caption.
class CPasswordDlg final : public CPasswordDlgBase {
    Q_OBJECT

  public:
    explicit CPasswordDlg(settings::ISettingsStore& store, QWidget* parent = nullptr);

    QLineEdit* PasswordEdit() const { return passwordEdit_; }
    // The password accepted with OK, as UTF-8; the dialog keeps no copy afterwards.
    void TakePassword(SecretText& password);

  public slots:
    void accept() override;

  private:
    QLineEdit* passwordEdit_ = nullptr;
    SecretText password_;
};

// A new file password, typed twice.
class CNewPasswordDlg final : public CPasswordDlgBase {
    Q_OBJECT

  public:
    explicit CNewPasswordDlg(settings::ISettingsStore& store, QWidget* parent = nullptr);

    QLineEdit* PasswordEdit() const { return passwordEdit_; }
    QLineEdit* ConfirmationEdit() const { return confirmationEdit_; }
    CStrengthMeter* StrengthMeter() const { return strength_; }
    // Both entries accepted with OK (equal byte for byte), as UTF-8.
    void TakePasswords(SecretText& password, SecretText& confirmation);

  public slots:
    void accept() override;

  private:
    QLineEdit* passwordEdit_ = nullptr;
    QLineEdit* confirmationEdit_ = nullptr;
    CStrengthMeter* strength_ = nullptr;
    SecretText password_;
    SecretText confirmation_;
};

// The document's password questions, asked with the dialogs above. Dialogs run through
// ExecDialog (ui/message_box.h), so tests can fill and close them.
class CQtPasswordPrompt final : public IPasswordPrompt {
  public:
    CQtPasswordPrompt(QWidget* parent, settings::ISettingsStore& store);

    bool AskPassword(const std::string& caption, FileForm form, SecretText& password) override;
    bool AskNewPassword(FileForm form, SecretText& password, SecretText& confirmation) override;

  private:
    QPointer<QWidget> parent_;
    settings::ISettingsStore& store_;
};

}  // namespace zelvant::ui
