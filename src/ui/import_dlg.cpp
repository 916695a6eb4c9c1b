#include "ui/import_dlg.h"

#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>

#include "store/secure.h"
#include "ui/message_box.h"

namespace zelvant::ui {
namespace {

// Long lists of skipped entries would not fit on the screen.
constexpr std::size_t kListedSkips = 12;

class CWaitCursor {
  public:
    CWaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    CWaitCursor(const CWaitCursor&) = delete;
    CWaitCursor& operator=(const CWaitCursor&) = delete;
    ~CWaitCursor() { QApplication::restoreOverrideCursor(); }
};

void Refuse(QWidget* parent, const QString& path, const QString& why) {
    ShowMessageBox(parent,
                   QStringLiteral("%1 cannot be imported: %2\nNothing was imported.")
                       .arg(QFileInfo(path).fileName(), why),
                   QMessageBox::Warning, QString::fromLatin1(kImportCaption));
}

}  // namespace

QString ImportFilter(ImportFormat format) {
    const ImportFormatInfo& info = FormatInfo(format);
    return QStringLiteral("%1 (*.%2)")
        .arg(QString::fromLatin1(info.title.data(), static_cast<qsizetype>(info.title.size())),
             QString::fromLatin1(info.extension.data(),
                                 static_cast<qsizetype>(info.extension.size())));
}

ImportOutcome RunImportDialog(QWidget* parent, CFolderSequence& folders, const QString& directory) {
    QStringList filters{QString::fromLatin1(kAnyExportFilter)};
    for (const ImportFormatInfo& info : ImportFormats()) {
        filters << ImportFilter(info.format);
    }
    QFileDialog dialog(parent, QString::fromLatin1(kImportCaption), directory);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilters(filters);
    if (ExecDialog(dialog) != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return {};
    }
    const qsizetype chosen = filters.indexOf(dialog.selectedNameFilter());
    std::optional<ImportFormat> format;
    if (chosen > 0) {
        format = ImportFormats()[static_cast<std::size_t>(chosen - 1)].format;
    }
    return ImportExportFile(parent, folders, dialog.selectedFiles().front(), format);
}

ImportOutcome ImportExportFile(QWidget* parent, CFolderSequence& folders, const QString& path,
                               std::optional<ImportFormat> format) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        Refuse(parent, path, file.errorString());
        return {};
    }
    if (file.size() > kMaxImportBytes) {
        Refuse(parent, path, QStringLiteral("it is larger than an export of passwords can be."));
        return {};
    }
    const DateTimeValue now = NowLocal();
    ImportBatch batch;
    std::string error;
    bool parsed = false;
    {
        CWaitCursor wait;
        QByteArray bytes = file.readAll();
        const std::string_view text(bytes.constData(), static_cast<std::size_t>(bytes.size()));
        if (!format) {
            format = DetectImportFormat(text);
        }
        if (format) {
            parsed = ParseImport(*format, text, now, batch, error);
        } else {
            error =
                "it is none of the exports Zelvant reads (choose its format in the file dialog "
                "to learn what it lacks)";
        }
        SecureWipe(bytes.data(), static_cast<std::size_t>(bytes.size()));
    }
    if (!parsed) {
        Refuse(parent, path, QString::fromStdString(error) + QLatin1Char('.'));
        return {};
    }
    ImportSummary summary;
    {
        CWaitCursor wait;
        summary = ApplyImport(batch, folders, ImportFolderName(*format, now));
        batch = ImportBatch();
    }
    ShowMessageBox(parent,
                   QString::fromStdString(ImportSummaryText(summary, *format, kListedSkips)),
                   QMessageBox::Information, QString::fromLatin1(kImportCaption));
    return {summary.records > 0 || summary.folders > 0, summary.firstFolder};
}

}  // namespace zelvant::ui
