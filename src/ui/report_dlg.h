#pragma once
// The Print/Print Preview dialog: runs a template chosen from the template folders over the open
// document into a private page, shows the page and prints it, previews it or saves it as PDF.

#include <QDialog>
#include <QString>
#include <QTreeWidget>
#include <functional>
#include <memory>

#include "controls/options_tree.h"
#include "report/date_format.h"
#include "report/print_flags.h"
#include "report/report_environment.h"
#include "report/template_files.h"
#include "settings/settings_store.h"
#include "store/folder_sequence.h"

class QAction;
class QListWidget;
class QPushButton;
class QTemporaryDir;
class QTextBrowser;

namespace zelvant::ui {

// The boxes that choose the printed fields. Kept this small so that another control can take
// the plain tree's place.
class IPrintFieldChooser {
  public:
    virtual ~IPrintFieldChooser() = default;
    virtual QWidget* Widget() = 0;
    virtual void SetFlags(const report::PrintFlags& flags) = 0;
    // Ticked boxes as 1, the others as 0.
    virtual report::PrintFlags Flags() const = 0;
    // Called when the user ticks or clears a box.
    virtual void SetClickHandler(std::function<void()> handler) = 0;
};

// A group item "Record fields printed" with one check box per field, in the order
// PrintFlagFields() gives.
class CPrintFieldTree final : public controls::CTreeOptionsCtrl, public IPrintFieldChooser {
    Q_OBJECT
  public:
    explicit CPrintFieldTree(QWidget* parent = nullptr);

    QWidget* Widget() override { return this; }
    void SetFlags(const report::PrintFlags& flags) override;
    report::PrintFlags Flags() const override;
    void SetClickHandler(std::function<void()> handler) override;

    // The box of the field at `position` in PrintFlagFields().
    QTreeWidgetItem* FieldItem(int position) const;

  private:
    QTreeWidgetItem* group_ = nullptr;
    std::function<void()> clicked_;
};

class CReportDlg : public QDialog {
    Q_OBJECT
  public:
    // `flags` must outlive the dialog: it receives the boxes' states whenever a report is run
    // and when the dialog closes.
    CReportDlg(const CFolderSequence& folders, const QString& documentTitle,
               report::PrintFlags& flags,
               const std::vector<report::TemplateFolder>& templateFolders,
               settings::ISettingsStore& store, QWidget* parent = nullptr);
    ~CReportDlg() override;

    // Selects the template and shows its report; false when no list entry has that name (case
    // ignored). A list entry shows the name, marked when the template is the user's own.
    bool SelectTemplate(const QString& name);
    QString SelectedTemplate() const { return selected_; }
    // Runs the selected template again, as a click into the field boxes does.
    void ShowPreview();

    // Empty until the first report has been written, and again after closing.
    QString PagePath() const;
    // The page shown, saved as PDF; false when nothing is shown or the file cannot be written.
    bool ExportPdf(const QString& path);

    QListWidget* TemplateList() const { return list_; }
    IPrintFieldChooser& FieldChooser() const { return *fields_; }
    QTextBrowser* Browser() const { return browser_; }
    QPushButton* PrintButton() const { return printButton_; }
    QAction* PrintAction() const { return print_; }
    QAction* PreviewAction() const { return preview_; }
    QPushButton* ExportButton() const { return export_; }

  public slots:
    void done(int result) override;

  signals:
    // The "Help" button, with the help context of this dialog.
    void HelpRequested(int context);

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    void ShowLastTemplate();
    bool EnsurePageFile();
    void RemovePage();
    void OnPrint();
    void OnPrintPreview();
    void OnExportPdf();
    void UpdateButtons();
    void RestorePlacement();
    void SavePlacement();

    const CFolderSequence& folders_;
    QString documentTitle_;
    report::PrintFlags& flags_;
    std::vector<report::TemplateEntry> templates_;  // one per list row
    std::string selectedPath_;
    settings::ISettingsStore& store_;
    report::CReportCursor cursor_;
    std::unique_ptr<report::IDateFormatter> dates_;
    QString selected_;
    bool firstShow_ = true;
    bool pageShown_ = false;
    std::unique_ptr<QTemporaryDir> pageDir_;
    QString pagePath_;

    IPrintFieldChooser* fields_ = nullptr;
    QListWidget* list_ = nullptr;
    QTextBrowser* browser_ = nullptr;
    QPushButton* printButton_ = nullptr;
    QAction* print_ = nullptr;
    QAction* preview_ = nullptr;
    QPushButton* export_ = nullptr;
};

// Added to the names of the user's own templates in the list.
inline constexpr char kOwnTemplateMark[] = " (mine)";

// The question before a template's first command of a run (sys.runcmd) is run. True when the
// user chose kRunTemplateCommands.
inline constexpr char kRunTemplateCommands[] = "Run commands from this template";
inline constexpr char kDontRunTemplateCommands[] = "Don't run";
bool AskToRunTemplateCommands(QWidget* parent, const QString& templatePath, const QString& command);

// The dialog's help context.
inline constexpr int kReportDlgHelpContext = 131249;

}  // namespace zelvant::ui
