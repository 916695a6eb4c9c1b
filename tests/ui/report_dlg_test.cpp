// The print dialog: template list, last template, field boxes, the private page, printing and PDF.

#include <sys/stat.h>

#include <QFile>
#include <QFileDialog>
#include <QListWidget>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBrowser>

#include "settings/direct_settings.h"
#include "store/date_time.h"
#include "ui/message_box.h"
#include "ui/report_dlg.h"

using namespace zelvant;
using namespace zelvant::ui;

namespace {

constexpr char kListing[] =
    "A test listing.\n"
    "<# start #>\n"
    "<html><body><p>Doc <# env.html(env.doctitle) #> via <# env.html(env.template) #></p>\n"
    "<# while env.nextfolder #><# while env.nextrecord #>\n"
    "<p>Site <# env.html(env.sitename) #></p>\n"
    "<# if env.printpassword #><p>Pass <# env.html(env.password) #></p><# endif #>\n"
    "<# endwhile #><# endwhile #>\n"
    "</body></html>\n"
    "<# endtmpl #>\n";

constexpr char kNoStart[] = "<# other #>nothing here<# endtmpl #>\n";

void WriteFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

int Mode(const QString& path) {
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0) {
        return -1;
    }
    return static_cast<int>(st.st_mode & 0777);
}

QByteArray Head(const QString& path, int length) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.read(length) : QByteArray();
}

// The PDF's text, or a null string when pdftotext is not installed.
QString PdfText(const QString& pdf) {
    const QString tool = QStandardPaths::findExecutable(QStringLiteral("pdftotext"));
    if (tool.isEmpty()) {
        return {};
    }
    QProcess process;
    process.start(tool, {pdf, QStringLiteral("-")});
    process.waitForFinished();
    return QString::fromUtf8(process.readAllStandardOutput());
}

QString Text(const CReportDlg& dialog) {
    return dialog.Browser()->toPlainText();
}

QStringList Entries(const QListWidget& list) {
    QStringList names;
    for (int i = 0; i < list.count(); ++i) {
        names << list.item(i)->text();
    }
    return names;
}

}  // namespace

class ReportDlgTest : public QObject {
    Q_OBJECT

    QStringList shown_;  // "text|icon"
    settings::CMemorySettingsStore store_;
    CFolderSequence folders_;
    report::PrintFlags flags_;
    std::unique_ptr<QTemporaryDir> dir_;
    QString templates_;

    QString userTemplates_;  // searched before templates_ when set

    std::vector<report::TemplateFolder> Folders() const {
        std::vector<report::TemplateFolder> folders;
        if (!userTemplates_.isEmpty()) {
            folders.push_back({userTemplates_.toStdString(), true});
        }
        folders.push_back({templates_.toStdString(), false});
        return folders;
    }

    std::unique_ptr<CReportDlg> Open() {
        auto dialog = std::make_unique<CReportDlg>(folders_, QStringLiteral("bank.zvd"), flags_,
                                                   Folders(), store_);
        dialog->show();
        QCoreApplication::processEvents();  // the last template is shown once the window is up
        return dialog;
    }

    QString Tmpl(const QString& file) const { return templates_ + QLatin1Char('/') + file; }

    std::string LastTemplate() { return settings::CDirectSettings(store_).LastTemplate(); }

  private slots:
    void initTestCase() {
        CFolder* folder = folders_.AppendFolder();
        folder->SetName("Bank");
        for (const char* site : {"Z1", "Q2"}) {
            CRecord* record = folder->AppendRecord(*FromCivil({2024, 3, 5, 14, 5, 9}));
            record->SetText(RecordField::SiteName, site);
            record->SetText(RecordField::Password, std::string(site) + "-secret");
        }
    }

    void init() {
        shown_.clear();
        store_ = settings::CMemorySettingsStore();
        flags_ = report::PrintFlags::All(1);
        dir_ = std::make_unique<QTemporaryDir>();
        QVERIFY(dir_->isValid());
        templates_ = dir_->filePath(QStringLiteral("templates"));
        userTemplates_.clear();
        QVERIFY(QDir().mkpath(templates_));
        WriteFile(Tmpl(QStringLiteral("Listing.ZVT")), kListing);
        SetDialogHookForTests({});
        SetMessageBoxHookForTests([this](const QString& text, QMessageBox::Icon icon) {
            shown_ << text + QLatin1Char('|') + QString::number(icon);
        });
    }

    void cleanup() {
        SetDialogHookForTests({});
        SetMessageBoxHookForTests({});
    }

    // ---- the template list and the last template

    void listsTemplateFilesSortedWithoutExtension() {
        WriteFile(Tmpl(QStringLiteral("beta.zvt")), kListing);
        WriteFile(Tmpl(QStringLiteral("Alpha.ZVT")), kListing);
        WriteFile(Tmpl(QStringLiteral("notes.txt")), "x");
        WriteFile(Tmpl(QStringLiteral("Listing.ZVT.bak")), "x");
        auto dialog = Open();
        QCOMPARE(Entries(*dialog->TemplateList()), (QStringList{"Alpha", "beta", "Listing"}));
        // Nothing chosen yet: nothing run, nothing written.
        QVERIFY(Text(*dialog).isEmpty() && dialog->PagePath().isEmpty());
        QVERIFY(!dialog->PrintButton()->isEnabled());
        QVERIFY(!dialog->ExportButton()->isEnabled() && shown_.isEmpty());

        // A file found under another case is run under the listed name.
        dialog->TemplateList()->setCurrentRow(1);
        QCOMPARE(dialog->SelectedTemplate(), QStringLiteral("beta"));
        QVERIFY(Text(*dialog).contains(QStringLiteral("Doc bank.zvd via beta")));
        QCOMPARE(LastTemplate(), "beta");
        QVERIFY(dialog->ExportButton()->isEnabled() && shown_.isEmpty());
    }

    // The user's own folder comes first and hides the same name in later folders.
    void listsEveryFolderWithTheUsersOwnMarked() {
        userTemplates_ = dir_->filePath(QStringLiteral("mine"));
        QVERIFY(QDir().mkpath(userTemplates_));
        WriteFile(Tmpl(QStringLiteral("Alpha.ZVT")), kListing);
        WriteFile(userTemplates_ + QStringLiteral("/Listing.zvt"),
                  QByteArray(kListing).replace("Doc ", "Own "));
        WriteFile(userTemplates_ + QStringLiteral("/Zeta.ZVT"), kListing);
        settings::CDirectSettings(store_).SetLastTemplate("listing");
        auto dialog = Open();
        QCOMPARE(Entries(*dialog->TemplateList()),
                 (QStringList{"Alpha", "Listing (mine)", "Zeta (mine)"}));
        QCOMPARE(dialog->TemplateList()->item(1)->toolTip(), userTemplates_ + "/Listing.zvt");
        QCOMPARE(dialog->TemplateList()->item(0)->toolTip(), Tmpl(QStringLiteral("Alpha.ZVT")));
        // The last template is found by its name, not by the marked text, and the user's runs.
        QCOMPARE(dialog->SelectedTemplate(), QStringLiteral("Listing"));
        QVERIFY(Text(*dialog).contains(QStringLiteral("Own bank.zvd via Listing")));
        dialog->TemplateList()->setCurrentRow(2);
        QCOMPARE(LastTemplate(), "Zeta");
        QVERIFY(Text(*dialog).contains(QStringLiteral("Doc bank.zvd via Zeta")));
        QVERIFY(shown_.isEmpty());
    }

    void lastTemplateIsPreviewedAtOnce() {
        settings::CDirectSettings(store_).SetLastTemplate("LISTING");  // case ignored
        auto dialog = Open();
        QCOMPARE(dialog->TemplateList()->currentItem()->text(), QStringLiteral("Listing"));
        QCOMPARE(dialog->SelectedTemplate(), QStringLiteral("Listing"));
        QVERIFY(Text(*dialog).contains(QStringLiteral("Site Z1")));
        QVERIFY(Text(*dialog).contains(QStringLiteral("Site Q2")));
        QCOMPARE(LastTemplate(), "Listing");

        // Reopened after closing: shown again.
        dialog->reject();
        QVERIFY(Text(*dialog).isEmpty());
        dialog->show();
        QCoreApplication::processEvents();
        QVERIFY(Text(*dialog).contains(QStringLiteral("Site Z1")));
        QVERIFY(shown_.isEmpty());
    }

    // A last template that is gone, or whose folder is, is forgotten without a word.
    void lastTemplateGoneIsForgotten() {
        for (const bool folderGone : {false, true}) {
            init();
            if (folderGone) {
                templates_ = dir_->filePath(QStringLiteral("none"));
            }
            settings::CDirectSettings(store_).SetLastTemplate(folderGone ? "Listing" : "Removed");
            auto dialog = Open();
            QCOMPARE(dialog->TemplateList()->count(), folderGone ? 0 : 1);
            QVERIFY(dialog->TemplateList()->currentItem() == nullptr);
            QVERIFY(dialog->SelectedTemplate().isEmpty() && Text(*dialog).isEmpty());
            QCOMPARE(LastTemplate(), "");
            QVERIFY(shown_.isEmpty());
        }
    }

    // ---- failures

    // A failed run is reported and leaves the page before on show; a file that was found stays
    // the template to show next time, one that was not is forgotten.
    void failedTemplatesAreReported() {
        struct Case {
            QString name;
            QByteArray contents;  // empty: the file goes after the list is read
            QString message;      // followed by the file's path
            std::string last;
        };
        const Case cases[] = {
            {"Gone", {}, "Cannot find template file\n", ""},
            {"Broken", kNoStart, "Cannot find template in ", "Broken"},
        };
        for (const Case& c : cases) {
            init();
            const QString file = Tmpl(c.name + QStringLiteral(".ZVT"));
            WriteFile(file, c.contents.isEmpty() ? QByteArray(kListing) : c.contents);
            auto dialog = Open();
            QVERIFY(dialog->SelectTemplate(QStringLiteral("Listing")));
            if (c.contents.isEmpty()) {
                QVERIFY(QFile::remove(file));
            }
            QVERIFY(dialog->SelectTemplate(c.name));
            QCOMPARE(shown_,
                     QStringList{c.message + file + "|" + QString::number(QMessageBox::Warning)});
            QCOMPARE(LastTemplate(), c.last);
            QVERIFY(Text(*dialog).contains(QStringLiteral("via Listing")));
            QVERIFY(!dialog->SelectTemplate(QStringLiteral("Unknown")));
        }
    }

    // ---- commands

    // A template's commands run only after the user agreed, asked once per run with the file and
    // the command; refused, each fails in the page as a command that cannot be started.
    void templateCommandsRunOnlyWhenTheUserAgrees() {
        const QString marker = dir_->filePath(QStringLiteral("ran"));
        WriteFile(Tmpl(QStringLiteral("Cmd.ZVT")),
                  "<# start #>A<# sys.runcmd('touch " + marker.toUtf8() +
                      "') #>B<# sys.runcmd('echo second') #>C<# endtmpl #>\n");
        QStringList asked;
        QString answer = QString::fromLatin1(kDontRunTemplateCommands);
        SetDialogHookForTests([&](QDialog& dialog) {
            auto* box = qobject_cast<QMessageBox*>(&dialog);
            if (box == nullptr) {
                return int(QDialog::Rejected);
            }
            asked << box->text();
            for (QAbstractButton* button : box->buttons()) {
                if (button->text() == answer) {
                    button->click();
                }
            }
            return box->result();
        });
        auto dialog = Open();
        QVERIFY(dialog->SelectTemplate(QStringLiteral("Cmd")));
        QCOMPARE(asked.size(), 1);
        QVERIFY(asked.front().contains(Tmpl(QStringLiteral("Cmd.ZVT"))));
        QVERIFY(asked.front().contains(QStringLiteral("touch ") + marker));
        QVERIFY(!QFile::exists(marker));
        QCOMPARE(Text(*dialog), QStringLiteral("A could not run command touch ") + marker +
                                    QStringLiteral(" B could not run command echo second C"));

        answer = QString::fromLatin1(kRunTemplateCommands);
        dialog->ShowPreview();
        QCOMPARE(asked.size(), 2);
        QVERIFY(QFile::exists(marker));
        QCOMPARE(Text(*dialog), QStringLiteral("ABsecond C"));  // the page is HTML
    }

    // ---- the field boxes

    void boxesShowAndPassTheFlags() {
        flags_ = report::PrintFlags::All(1);
        flags_.Set(RecordField::Password, 0);
        flags_.Set(RecordField::Notes, 2);  // only 1 counts as ticked
        auto dialog = Open();
        auto& tree = static_cast<CPrintFieldTree&>(dialog->FieldChooser());
        QTreeWidgetItem* password = tree.FieldItem(6);
        QCOMPARE(password->text(0), QStringLiteral("Password"));
        QCOMPARE(password->checkState(0), Qt::Unchecked);
        QCOMPARE(tree.FieldItem(11)->checkState(0), Qt::Unchecked);
        QCOMPARE(tree.FieldItem(7)->checkState(0), Qt::Checked);

        QVERIFY(dialog->SelectTemplate(QStringLiteral("Listing")));
        QVERIFY(!Text(*dialog).contains(QStringLiteral("Z1-secret")));
        // Ticking reruns the report with the box as it is now.
        tree.SetCheckBox(password, true);
        QVERIFY(Text(*dialog).contains(QStringLiteral("Pass Z1-secret")));
        QVERIFY(flags_.Prints(RecordField::Password));
        tree.SetCheckBox(password, false);
        QVERIFY(!Text(*dialog).contains(QStringLiteral("secret")));
        tree.SetCheckBox(password, true);

        // The caller gets the boxes back when the dialog closes.
        flags_ = report::PrintFlags::All(0);
        tree.SetCheckBox(tree.FieldItem(0), false);
        dialog->reject();
        QVERIFY(flags_.Prints(RecordField::Password));
        QVERIFY(!flags_.Prints(RecordField::SiteName));
        QVERIFY(flags_.Prints(RecordField::Pin));
        QCOMPARE(flags_.values[11], 0);

        // Also when no report ran in between.
        flags_ = report::PrintFlags::All(0);
        settings::CDirectSettings(store_).SetLastTemplate("");
        auto idle = Open();
        auto& idleTree = static_cast<CPrintFieldTree&>(idle->FieldChooser());
        idleTree.SetCheckBox(idleTree.FieldItem(2), true);
        QVERIFY(!flags_.Prints(RecordField::Email));
        idle->reject();
        QVERIFY(flags_.Prints(RecordField::Email) && !flags_.Prints(RecordField::Password));
    }

    // ---- the page on disk

    void pageIsPrivateAndRemovedOnClose() {
        auto dialog = Open();
        QVERIFY(dialog->SelectTemplate(QStringLiteral("Listing")));
        const QString page = dialog->PagePath();
        QVERIFY(!page.isEmpty() && QFile::exists(page));
        QVERIFY(!page.startsWith(templates_));
        QCOMPARE(Mode(page), 0600);
        QCOMPARE(Mode(QFileInfo(page).absolutePath()), 0700);
        QVERIFY(Head(page, 1 << 16).contains("Z1-secret"));
        // Each preview rewrites the same page.
        QVERIFY(dialog->SelectTemplate(QStringLiteral("Listing")));
        QCOMPARE(dialog->PagePath(), page);

        dialog->reject();
        QVERIFY(!QFile::exists(page));
        QVERIFY(!QFileInfo::exists(QFileInfo(page).absolutePath()));
        QVERIFY(dialog->PagePath().isEmpty());

        // Destroyed without being closed: gone as well.
        auto other = Open();
        QVERIFY(other->SelectTemplate(QStringLiteral("Listing")));
        const QString second = other->PagePath();
        QVERIFY(QFile::exists(second));
        other.reset();
        QVERIFY(!QFile::exists(second));
    }

    void placementIsRestoredAndSaved() {
        settings::CDirectSettings(store_).SetWindowPlacement("30,40,630,490,1,0");
        {
            CReportDlg dialog(folders_, {}, flags_, Folders(), store_);
            QCOMPARE(dialog.geometry(), QRect(30, 40, 600, 450));
            dialog.show();
            QCoreApplication::processEvents();
            dialog.setGeometry(50, 60, 640, 480);
            dialog.accept();
        }
        QCOMPARE(settings::CDirectSettings(store_).WindowPlacement(), "50,60,690,540,1,0");

        settings::CDirectSettings(store_).SetWindowPlacement("30,40,630,490,3,0");
        {
            CReportDlg dialog(folders_, {}, flags_, Folders(), store_);
            QVERIFY(dialog.windowState().testFlag(Qt::WindowMaximized));
        }

        settings::CDirectSettings(store_).SetWindowPlacement("garbage");
        CReportDlg dialog(folders_, {}, flags_, Folders(), store_);
        QCOMPARE(dialog.size(), QSize(760, 520));
    }

    // ---- printing and PDF

    void exportPdfWritesAPrivatePdf() {
        auto dialog = Open();
        const QString early = dir_->filePath(QStringLiteral("early.pdf"));
        QVERIFY(!dialog->ExportPdf(early) && !QFile::exists(early));  // nothing shown yet
        QVERIFY(dialog->SelectTemplate(QStringLiteral("Listing")));

        const QString pdf = dir_->filePath(QStringLiteral("report.pdf"));
        QString offered;
        SetDialogHookForTests([&](QDialog& d) {
            auto* files = qobject_cast<QFileDialog*>(&d);
            if (files == nullptr) {
                return int(QDialog::Rejected);
            }
            offered = files->selectedFiles().value(0);
            files->setOption(QFileDialog::DontUseNativeDialog);
            files->selectFile(pdf);
            return int(QDialog::Accepted);
        });
        dialog->ExportButton()->click();
        QVERIFY(offered.endsWith(QStringLiteral("bank - Listing.pdf")));
        QCOMPARE(Head(pdf, 4), QByteArray("%PDF"));
        QCOMPARE(Mode(pdf), 0600);
        QVERIFY(shown_.isEmpty());

        const QString text = PdfText(pdf);
        if (text.isNull()) {
            qInfo("pdftotext not found: the PDF's text is not checked");
            return;
        }
        QVERIFY(text.contains("Site Z1"));
    }

    // The shipped full listing of a long document spreads over pages and loses no record.
    void shippedListingBecomesAWholePdf() {
        const QString pdfinfo = QStandardPaths::findExecutable(QStringLiteral("pdfinfo"));
        if (pdfinfo.isEmpty() || PdfText({}).isNull()) {
            QSKIP("poppler-utils not installed");
        }
        CFolderSequence folders;
        CFolder* folder = folders.AppendFolder();
        folder->SetName("Accounts");
        for (int i = 0; i < 40; ++i) {
            CRecord* record = folder->AppendRecord();
            record->SetText(RecordField::SiteName, "Account " + std::to_string(i));
            record->SetText(RecordField::UserName, "user" + std::to_string(i));
        }
        CReportDlg dialog(folders, QStringLiteral("long.zvd"), flags_, {{ZELVANT_TEMPLATES, false}},
                          store_);
        dialog.show();
        QVERIFY(dialog.SelectTemplate(QStringLiteral("Full listing")));
        const QString pdf = dir_->filePath(QStringLiteral("listing.pdf"));
        QVERIFY(dialog.ExportPdf(pdf));

        QProcess info;
        info.start(pdfinfo, {pdf});
        QVERIFY(info.waitForFinished());
        const QString details = QString::fromUtf8(info.readAllStandardOutput());
        const QRegularExpressionMatch pages =
            QRegularExpression(QStringLiteral("Pages:\\s+(\\d+)")).match(details);
        QVERIFY2(pages.hasMatch(), qPrintable(details));
        QVERIFY(pages.captured(1).toInt() >= 2);

        const QString body = PdfText(pdf);
        QVERIFY(body.contains(QStringLiteral("Account 0")));
        QVERIFY(body.contains(QStringLiteral("Account 39")));
        QVERIFY(body.contains(QStringLiteral("user39")));
    }

    void printAndPreviewPrintTheShownPage() {
        auto dialog = Open();
        int asked = 0;
        SetDialogHookForTests([&](QDialog&) {
            ++asked;
            return int(QDialog::Rejected);
        });
        dialog->PrintAction()->trigger();  // nothing shown: nothing to print
        dialog->PreviewAction()->trigger();
        QCOMPARE(asked, 0);
        QVERIFY(dialog->SelectTemplate(QStringLiteral("Listing")));

        // Print goes to the printer chosen in the print dialog; cancelling prints nothing.
        const QString printed = dir_->filePath(QStringLiteral("printed.pdf"));
        bool accept = false;
        SetDialogHookForTests([&](QDialog& d) {
            auto* print = qobject_cast<QPrintDialog*>(&d);
            if (print == nullptr) {
                return int(QDialog::Rejected);
            }
            ++asked;
            print->printer()->setOutputFormat(QPrinter::PdfFormat);
            print->printer()->setOutputFileName(printed);
            return int(accept ? QDialog::Accepted : QDialog::Rejected);
        });
        dialog->PrintAction()->trigger();
        QCOMPARE(asked, 1);
        QVERIFY(!QFile::exists(printed));
        accept = true;
        dialog->PrintAction()->trigger();
        QCOMPARE(Head(printed, 4), QByteArray("%PDF"));

        int pages = 0;
        SetDialogHookForTests([&](QDialog& d) {
            auto* preview = qobject_cast<QPrintPreviewDialog*>(&d);
            auto* widget = preview ? preview->findChild<QPrintPreviewWidget*>() : nullptr;
            if (widget != nullptr) {
                widget->updatePreview();
                pages = widget->pageCount();
            }
            return int(QDialog::Rejected);
        });
        dialog->PreviewAction()->trigger();
        QVERIFY(pages >= 1);
    }
};

QTEST_MAIN(ReportDlgTest)
#include "report_dlg_test.moc"
