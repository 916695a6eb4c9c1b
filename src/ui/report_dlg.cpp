#include "ui/report_dlg.h"
#include "ui/local_path.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QPushButton>
#include <QScreen>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QTextDocument>
#include <QVBoxLayout>
#include <array>
#include <string>

#include "report/command_gate.h"
#include "report/report_run.h"
#include "report/template_files.h"
#include "settings/direct_settings.h"
#include "ui/message_box.h"

namespace zelvant::ui {
namespace {

constexpr std::array<const char*, report::kPrintFlagCount> kFieldTitles = {
    "Site Name/Description",
    "Location",
    "Email",
    "Account Name",
    "Account Number",
    "Username/ID",
    "Password",
    "Pin Number",
    "Created",
    "Last Modified",
    "Expires On",
    "Notes",
};

constexpr char kPageName[] = "zvrep.htm";
// Window show states as the stored placement holds them.
constexpr int kShowNormal = 1;
constexpr int kShowMaximized = 3;

// Far longer commands are shown cut, so the question still fits on the screen.
constexpr qsizetype kShownCommandLength = 600;

}  // namespace

bool AskToRunTemplateCommands(QWidget* parent, const QString& templatePath,
                              const QString& command) {
    QString shown = command;
    if (shown.size() > kShownCommandLength) {
        shown = shown.left(kShownCommandLength) + QStringLiteral("...");
    }
    QMessageBox box(QMessageBox::Warning, MessageCaption({}),
                    QObject::tr("The template\n%1\nwants to run this command on your computer:\n\n"
                                "%2\n\nA command runs with your rights and may contain record "
                                "values. Run commands only from templates you trust.")
                        .arg(QDir::toNativeSeparators(templatePath), shown),
                    QMessageBox::NoButton, parent);
    box.setTextFormat(Qt::PlainText);
    QPushButton* run =
        box.addButton(QString::fromLatin1(kRunTemplateCommands), QMessageBox::AcceptRole);
    QPushButton* dont =
        box.addButton(QString::fromLatin1(kDontRunTemplateCommands), QMessageBox::RejectRole);
    box.setDefaultButton(dont);
    box.setEscapeButton(dont);
    ExecDialog(box);
    return box.clickedButton() == run;
}

namespace {}  // namespace

// ---- the field boxes

CPrintFieldTree::CPrintFieldTree(QWidget* parent) : CTreeOptionsCtrl(parent) {
    setObjectName(QStringLiteral("printFields"));
    group_ = InsertGroup(tr("Record fields printed"), -1);
    for (const char* title : kFieldTitles) {
        InsertCheckBox(tr(title), group_, false);
    }
    group_->setExpanded(true);
    setCurrentItem(group_);
    // A ticked or cleared box shows the report again with the boxes as they are now.
    connect(this, &CTreeOptionsCtrl::CheckChanged, this, [this] {
        if (clicked_) {
            clicked_();
        }
    });
}

QTreeWidgetItem* CPrintFieldTree::FieldItem(int position) const {
    return group_->child(position);
}

void CPrintFieldTree::SetFlags(const report::PrintFlags& flags) {
    const QSignalBlocker quiet(this);
    const auto& fields = report::PrintFlagFields();
    for (int i = 0; i < report::kPrintFlagCount; ++i) {
        SetCheckBox(FieldItem(i), flags.Prints(fields[i].field));
    }
}

report::PrintFlags CPrintFieldTree::Flags() const {
    report::PrintFlags flags;
    const auto& fields = report::PrintFlagFields();
    for (int i = 0; i < report::kPrintFlagCount; ++i) {
        flags.Set(fields[i].field, GetCheckBox(FieldItem(i)) ? 1 : 0);
    }
    return flags;
}

void CPrintFieldTree::SetClickHandler(std::function<void()> handler) {
    clicked_ = std::move(handler);
}

// ---- the dialog

CReportDlg::CReportDlg(const CFolderSequence& folders, const QString& documentTitle,
                       report::PrintFlags& flags,
                       const std::vector<report::TemplateFolder>& templateFolders,
                       settings::ISettingsStore& store, QWidget* parent)
    : QDialog(parent),
      folders_(folders),
      documentTitle_(documentTitle),
      flags_(flags),
      templates_(report::FindTemplates(templateFolders)),
      store_(store),
      dates_(report::MakeSystemDateFormatter()) {
    setWindowTitle(tr("Print/Print Preview"));
    setSizeGripEnabled(true);

    auto* tree = new CPrintFieldTree(this);
    fields_ = tree;
    fields_->SetFlags(flags_);
    fields_->SetClickHandler([this] { ShowPreview(); });

    list_ = new QListWidget(this);
    list_->setObjectName(QStringLiteral("templates"));
    for (const report::TemplateEntry& entry : templates_) {
        const QString name = FromLocalPath(entry.name);
        auto* item = new QListWidgetItem(
            entry.user ? name + QString::fromUtf8(kOwnTemplateMark) : name, list_);
        item->setToolTip(FromLocalPath(entry.path));
    }
    connect(list_, &QListWidget::currentRowChanged, this, [this](int row) {
        if (row >= 0) {
            selected_ = FromLocalPath(templates_[static_cast<std::size_t>(row)].name);
            selectedPath_ = templates_[static_cast<std::size_t>(row)].path;
            ShowPreview();
        }
    });

    browser_ = new QTextBrowser(this);
    browser_->setOpenLinks(false);  // a report is a page, not a site
    browser_->setMinimumSize(360, 240);

    printButton_ = new QPushButton(tr("&Print..."), this);
    auto* menu = new QMenu(printButton_);
    print_ = menu->addAction(tr("Print"));
    preview_ = menu->addAction(tr("Print Preview"));
    printButton_->setMenu(menu);
    connect(print_, &QAction::triggered, this, &CReportDlg::OnPrint);
    connect(preview_, &QAction::triggered, this, &CReportDlg::OnPrintPreview);
    export_ = new QPushButton(tr("Export P&DF..."), this);
    connect(export_, &QPushButton::clicked, this, &CReportDlg::OnExportPdf);
    auto* help = new QPushButton(tr("&Help"), this);
    connect(help, &QPushButton::clicked, this,
            [this] { emit HelpRequested(kReportDlgHelpContext); });
    auto* close = new QPushButton(tr("&Close"), this);
    connect(close, &QPushButton::clicked, this, &QDialog::reject);

    auto* left = new QVBoxLayout;
    left->addWidget(new QLabel(tr("Print Options"), this));
    left->addWidget(tree, 1);
    left->addWidget(new QLabel(tr("Report Style"), this));
    left->addWidget(list_, 1);
    auto* top = new QHBoxLayout;
    top->addLayout(left, 0);
    top->addWidget(browser_, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(printButton_);
    buttons->addWidget(export_);
    buttons->addStretch(1);
    buttons->addWidget(help);
    buttons->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top, 1);
    layout->addLayout(buttons);

    resize(760, 520);
    RestorePlacement();
    UpdateButtons();
}

CReportDlg::~CReportDlg() {
    RemovePage();
}

bool CReportDlg::SelectTemplate(const QString& name) {
    for (std::size_t row = 0; row < templates_.size(); ++row) {
        const QString entry = FromLocalPath(templates_[row].name);
        if (entry.compare(name, Qt::CaseInsensitive) == 0) {
            {
                const QSignalBlocker quiet(list_);
                list_->setCurrentRow(static_cast<int>(row));
            }
            selected_ = entry;
            selectedPath_ = templates_[row].path;
            ShowPreview();
            return true;
        }
    }
    return false;
}

void CReportDlg::ShowPreview() {
    if (selected_.isEmpty()) {
        return;
    }
    settings::CDirectSettings direct(store_);
    CQtMessageSink messages(this);
    cursor_.Reset(folders_, LocalPath(selected_));
    const std::string& templatePath = selectedPath_;
    if (!QFileInfo::exists(FromLocalPath(templatePath))) {
        messages.ShowMessage(report::MissingTemplateFileMessage(templatePath));
        direct.SetLastTemplate("");
        return;
    }
    direct.SetLastTemplate(selected_.toStdString());
    flags_ = fields_->Flags();
    if (!EnsurePageFile()) {
        return;
    }
    report::CReportEnvironment environment(
        {folders_, cursor_, flags_, documentTitle_.toStdString(), *dates_, report::Clock()});
    report::CStringOutput diagnostics;
    // Asked at most once per run, at its first command.
    report::CCommandGate commands(
        templatePath, [this](const std::string& path, const std::string& command) {
            return AskToRunTemplateCommands(this, FromLocalPath(path), QString::fromUtf8(command));
        });
    const bool ran =
        report::RunReportToFile(templatePath, LocalPath(pagePath_), environment, diagnostics,
                                messages, report::RunOptions{.runCommand = commands.Runner()});
    if (!diagnostics.text.empty()) {
        qWarning("%s", diagnostics.text.c_str());
    }
    if (!ran) {
        return;  // the page shown before stays
    }
    QFile page(pagePath_);
    if (!page.open(QIODevice::ReadOnly)) {
        return;
    }
    QByteArray bytes = page.readAll();
    browser_->setHtml(QString::fromUtf8(bytes));
    bytes.fill('\0');
    pageShown_ = true;
    UpdateButtons();
}

QString CReportDlg::PagePath() const {
    return pagePath_;
}

bool CReportDlg::EnsurePageFile() {
    if (pageDir_ != nullptr) {
        return true;
    }
    // Not beside the program: that folder is seldom writable, and the page holds passwords.
    // Qt invents a runtime folder, with a warning, when the session has none; the temporary
    // folder is as private then.
    const QString runtime = qEnvironmentVariableIsSet("XDG_RUNTIME_DIR")
                                ? QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation)
                                : QString();
    if (!runtime.isEmpty()) {
        pageDir_ = std::make_unique<QTemporaryDir>(runtime + QStringLiteral("/zelvant-XXXXXX"));
    }
    if (pageDir_ == nullptr || !pageDir_->isValid()) {
        pageDir_ = std::make_unique<QTemporaryDir>();
    }
    if (!pageDir_->isValid()) {
        ShowMessageBox(this,
                       tr("Cannot create a folder for the report: %1").arg(pageDir_->errorString()),
                       QMessageBox::Warning);
        pageDir_.reset();
        return false;
    }
    pagePath_ = pageDir_->filePath(QString::fromLatin1(kPageName));
    QFile page(pagePath_);
    if (!page.open(QIODevice::WriteOnly | QIODevice::NewOnly,
                   QFileDevice::ReadOwner | QFileDevice::WriteOwner)) {
        ShowMessageBox(this, tr("Cannot create %1: %2").arg(pagePath_, page.errorString()),
                       QMessageBox::Warning);
        pageDir_.reset();
        pagePath_.clear();
        return false;
    }
    return true;
}

void CReportDlg::RemovePage() {
    if (pageDir_ != nullptr) {
        pageDir_->remove();
        pageDir_.reset();
    }
    pagePath_.clear();
}

void CReportDlg::UpdateButtons() {
    printButton_->setEnabled(pageShown_);
    export_->setEnabled(pageShown_);
}

void CReportDlg::OnPrint() {
    if (!pageShown_) {
        return;
    }
    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName(documentTitle_);
    QPrintDialog dialog(&printer, this);
    if (ExecDialog(dialog) == QDialog::Accepted) {
        browser_->document()->print(&printer);
    }
}

void CReportDlg::OnPrintPreview() {
    if (!pageShown_) {
        return;
    }
    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName(documentTitle_);
    QPrintPreviewDialog dialog(&printer, this);
    connect(&dialog, &QPrintPreviewDialog::paintRequested, this,
            [this](QPrinter* target) { browser_->document()->print(target); });
    ExecDialog(dialog);
}

void CReportDlg::OnExportPdf() {
    if (!pageShown_) {
        return;
    }
    QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (folder.isEmpty()) {
        folder = QDir::homePath();
    }
    QString name = QFileInfo(documentTitle_).completeBaseName();
    name = (name.isEmpty() ? selected_ : name + QStringLiteral(" - ") + selected_) +
           QStringLiteral(".pdf");
    QFileDialog dialog(this, tr("Export PDF"), QDir(folder).filePath(name),
                       tr("PDF files (*.pdf)"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(QStringLiteral("pdf"));
    if (ExecDialog(dialog) == QDialog::Accepted && !dialog.selectedFiles().isEmpty()) {
        ExportPdf(dialog.selectedFiles().front());
    }
}

bool CReportDlg::ExportPdf(const QString& path) {
    if (!pageShown_) {
        return false;
    }
    // A new file holds passwords too: only its owner may read it. An existing one keeps the
    // permissions its owner gave it.
    if (!QFileInfo::exists(path)) {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly,
                       QFileDevice::ReadOwner | QFileDevice::WriteOwner)) {
            ShowMessageBox(this, tr("Cannot create %1: %2").arg(path, file.errorString()),
                           QMessageBox::Warning);
            return false;
        }
    }
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(path);
    printer.setDocName(documentTitle_);
    browser_->document()->print(&printer);
    if (QFileInfo(path).size() == 0) {
        ShowMessageBox(this, tr("Cannot write %1").arg(path), QMessageBox::Warning);
        return false;
    }
    return true;
}

void CReportDlg::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (firstShow_) {
        firstShow_ = false;
        // Once the window is up, so that a message about the template appears over it.
        QMetaObject::invokeMethod(this, &CReportDlg::ShowLastTemplate, Qt::QueuedConnection);
    }
}

void CReportDlg::ShowLastTemplate() {
    settings::CDirectSettings direct(store_);
    const QString last = QString::fromStdString(direct.LastTemplate());
    if (!last.isEmpty() && !SelectTemplate(last)) {
        direct.SetLastTemplate("");
    }
}

void CReportDlg::done(int result) {
    flags_ = fields_->Flags();
    SavePlacement();
    RemovePage();
    browser_->clear();
    pageShown_ = false;
    UpdateButtons();
    firstShow_ = true;
    QDialog::done(result);
}

void CReportDlg::RestorePlacement() {
    const QStringList parts =
        QString::fromStdString(settings::CDirectSettings(store_).WindowPlacement()).split(u',');
    if (parts.size() != 6) {
        return;
    }
    std::array<int, 6> v{};
    for (int i = 0; i < 6; ++i) {
        bool ok = false;
        v[static_cast<std::size_t>(i)] = parts[i].trimmed().toInt(&ok);
        if (!ok) {
            return;
        }
    }
    const QRect rect(QPoint(v[0], v[1]), QPoint(v[2] - 1, v[3] - 1));
    if (rect.width() < 100 || rect.height() < 100) {
        return;
    }
    // A screen that has gone since must not leave the dialog out of reach.
    const QScreen* screen = QGuiApplication::screenAt(rect.center());
    if (screen == nullptr) {
        return;
    }
    setGeometry(rect);
    if (v[4] == kShowMaximized) {
        setWindowState(windowState() | Qt::WindowMaximized);
    }
}

void CReportDlg::SavePlacement() {
    const bool maximized = isMaximized();
    const QRect r = maximized ? normalGeometry() : geometry();
    if (!r.isValid()) {
        return;
    }
    const QString text = QStringLiteral("%1,%2,%3,%4,%5,0")
                             .arg(r.left())
                             .arg(r.top())
                             .arg(r.right() + 1)
                             .arg(r.bottom() + 1)
                             .arg(maximized ? kShowMaximized : kShowNormal);
    settings::CDirectSettings(store_).SetWindowPlacement(text.toStdString());
}

}  // namespace zelvant::ui
