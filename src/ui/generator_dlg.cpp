#include "ui/generator_dlg.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QFormLayout>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "passwords/password_generator.h"
#include "store/secure.h"
#include "ui/strength_meter.h"

namespace zelvant::ui {
namespace {

// The choices last used in this run, so that the next record gets the same kind of password.
struct Choices {
    bool passphrase = false;
    PasswordRules password;
    PassphraseRules passphrase_;
};

Choices& LastChoices() {
    static Choices choices;
    return choices;
}

void WipeQString(QString& text) {
    if (!text.isEmpty() && text.isDetached()) {
        SecureWipe(text.data(), static_cast<std::size_t>(text.size()) * sizeof(QChar));
    }
    text = QString();
}

// The edit's own string is out of reach; dropping it with its undo history is what can be done.
void WipeEdit(QLineEdit& edit) {
    QString held = edit.text();
    edit.setText(QString());
    WipeQString(held);
}

}  // namespace

CGeneratorDlg::CGeneratorDlg(QWidget* parent, std::vector<std::string> userWords)
    : QDialog(parent) {
    setWindowTitle(QString::fromLatin1(kGeneratorCaption));
    const Choices& last = LastChoices();

    passwordMode_ = new QRadioButton(tr("&Password"), this);
    passwordMode_->setObjectName(QStringLiteral("passwordMode"));
    passphraseMode_ = new QRadioButton(tr("Passph&rase of words"), this);
    passphraseMode_->setObjectName(QStringLiteral("passphraseMode"));
    (last.passphrase ? passphraseMode_ : passwordMode_)->setChecked(true);

    auto* characters = new QGroupBox(this);
    length_ = new QSpinBox(characters);
    length_->setObjectName(QStringLiteral("length"));
    length_->setRange(kMinGeneratedLength, kMaxGeneratedLength);
    length_->setValue(last.password.length);
    lower_ = new QCheckBox(tr("L&ower case letters (a-z)"), characters);
    upper_ = new QCheckBox(tr("Upper &case letters (A-Z)"), characters);
    digits_ = new QCheckBox(tr("&Digits (0-9)"), characters);
    symbols_ = new QCheckBox(tr("&Symbols (!#$%...)"), characters);
    lookalikes_ = new QCheckBox(tr("&Avoid look-alike characters (0 O o 1 I l |)"), characters);
    lower_->setChecked(last.password.lower);
    upper_->setChecked(last.password.upper);
    digits_->setChecked(last.password.digits);
    symbols_->setChecked(last.password.symbols);
    lookalikes_->setChecked(last.password.avoidLookalikes);
    auto* characterForm = new QFormLayout(characters);
    characterForm->addRow(tr("&Length:"), length_);
    for (QCheckBox* box : {lower_, upper_, digits_, symbols_, lookalikes_}) {
        characterForm->addRow(box);
    }

    auto* words = new QGroupBox(this);
    words_ = new QSpinBox(words);
    words_->setObjectName(QStringLiteral("words"));
    words_->setRange(kMinPassphraseWords, kMaxPassphraseWords);
    words_->setValue(last.passphrase_.words);
    separator_ = new QLineEdit(QString::fromStdString(last.passphrase_.separator), words);
    separator_->setObjectName(QStringLiteral("separator"));
    separator_->setMaxLength(static_cast<int>(kMaxSeparatorLength));
    auto* wordForm = new QFormLayout(words);
    wordForm->addRow(tr("&Words:"), words_);
    wordForm->addRow(tr("Separa&tor:"), separator_);

    result_ = new QLineEdit(this);
    result_->setObjectName(QStringLiteral("generated"));
    result_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    result_->setMinimumWidth(result_->fontMetrics().averageCharWidth() * 44);
    result_->setInputMethodHints(Qt::ImhSensitiveData | Qt::ImhNoPredictiveText);
    meter_ = new CStrengthMeter(this);
    meter_->setObjectName(QStringLiteral("strength"));
    meter_->SetUserWords(std::move(userWords));
    connect(result_, &QLineEdit::textChanged, meter_, &CStrengthMeter::SetPassword);

    again_ = new QPushButton(tr("&Generate again"), this);
    again_->setObjectName(QStringLiteral("again"));
    again_->setAutoDefault(false);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Cancel, this);
    use_ = buttons->addButton(tr("&Use"), QDialogButtonBox::AcceptRole);
    use_->setObjectName(QStringLiteral("use"));
    use_->setDefault(true);
    connect(result_, &QLineEdit::textChanged, use_,
            [this](const QString& text) { use_->setEnabled(!text.isEmpty()); });
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(again_, &QPushButton::clicked, this, &CGeneratorDlg::Generate);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(passwordMode_);
    layout->addWidget(characters);
    layout->addWidget(passphraseMode_);
    layout->addWidget(words);
    layout->addWidget(result_);
    layout->addWidget(meter_);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(again_);
    bottom->addStretch(1);
    bottom->addWidget(buttons);
    layout->addLayout(bottom);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    // Every change of a choice makes a new one at once.
    for (QCheckBox* box : {lower_, upper_, digits_, symbols_, lookalikes_}) {
        connect(box, &QCheckBox::toggled, this, &CGeneratorDlg::Generate);
    }
    connect(length_, &QSpinBox::valueChanged, this, &CGeneratorDlg::Generate);
    connect(words_, &QSpinBox::valueChanged, this, &CGeneratorDlg::Generate);
    connect(separator_, &QLineEdit::textChanged, this, &CGeneratorDlg::Generate);
    connect(passwordMode_, &QRadioButton::toggled, this, [this] {
        UpdateModes();
        Generate();
    });
    // The group boxes carry no titles: the radio buttons above them are their titles.
    characters->setFlat(true);
    words->setFlat(true);
    characters->setObjectName(QStringLiteral("characters"));
    words->setObjectName(QStringLiteral("wordChoices"));
    UpdateModes();
    Generate();
    use_->setFocus();
}

CGeneratorDlg::~CGeneratorDlg() {
    WipeEdit(*result_);
    WipeQString(accepted_);
}

QString CGeneratorDlg::Password() const {
    return accepted_;
}

void CGeneratorDlg::UpdateModes() {
    const bool words = passphraseMode_->isChecked();
    findChild<QGroupBox*>(QStringLiteral("characters"))->setEnabled(!words);
    findChild<QGroupBox*>(QStringLiteral("wordChoices"))->setEnabled(words);
}

void CGeneratorDlg::Generate() {
    SecretText made;
    std::string error;
    bool ok = false;
    if (passphraseMode_->isChecked()) {
        PassphraseRules rules;
        rules.words = words_->value();
        rules.separator = separator_->text().toStdString();
        ok = GeneratePassphrase(rules, made.text, error);
    } else {
        PasswordRules rules;
        rules.length = length_->value();
        rules.lower = lower_->isChecked();
        rules.upper = upper_->isChecked();
        rules.digits = digits_->isChecked();
        rules.symbols = symbols_->isChecked();
        rules.avoidLookalikes = lookalikes_->isChecked();
        ok = GeneratePassword(rules, made.text, error);
    }
    WipeEdit(*result_);
    if (ok) {
        QString text =
            QString::fromUtf8(made.text.data(), static_cast<qsizetype>(made.text.size()));
        result_->setText(text);
        WipeQString(text);
        result_->setPlaceholderText(QString());
    } else {
        result_->setPlaceholderText(QString::fromStdString(error));
    }
}

void CGeneratorDlg::Remember() const {
    Choices& last = LastChoices();
    last.passphrase = passphraseMode_->isChecked();
    PasswordRules rules;
    rules.length = length_->value();
    rules.lower = lower_->isChecked();
    rules.upper = upper_->isChecked();
    rules.digits = digits_->isChecked();
    rules.symbols = symbols_->isChecked();
    rules.avoidLookalikes = lookalikes_->isChecked();
    // Kinds of character that make no password are not worth keeping for the next time.
    if (!PasswordAlphabet(rules).empty()) {
        last.password = rules;
    }
    last.password.length = rules.length;
    last.passphrase_.words = words_->value();
    last.passphrase_.separator = separator_->text().toStdString();
}

void CGeneratorDlg::done(int result) {
    if (result == QDialog::Accepted) {
        if (result_->text().isEmpty()) {
            return;
        }
        accepted_ = result_->text();
        Remember();
    }
    WipeEdit(*result_);
    QDialog::done(result);
}

}  // namespace zelvant::ui
