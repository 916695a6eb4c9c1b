// clip: a record's field on the clipboard, marked secret as the desktop program marks it, held
// while the command waits and cleared afterwards unless the user has copied something else.

#include <QClipboard>
#include <QGuiApplication>
#include <QTimer>
#include <charconv>
#include <csignal>
#include <cstdlib>

#include "cli/address.h"
#include "cli/cli_support.h"
#include "store/display.h"
#include "store/text_codec.h"
#include "ui/clipboard.h"

namespace zelvant::cli {

bool CanOpenX11Display();  // x11_display.cpp

namespace {

constexpr int kMaxTimeout = 24 * 60 * 60;

volatile std::sig_atomic_t g_stop = 0;

extern "C" void OnStopSignal(int) {
    g_stop = 1;
}

struct ClipField {
    std::string_view name;
    RecordField field;
    std::string_view label;
};
constexpr ClipField kClipFields[] = {
    {"password", RecordField::Password, "password"},
    {"user", RecordField::UserName, "user name"},
    {"location", RecordField::Location, "location"},
    {"email", RecordField::Email, "e-mail address"},
    {"account", RecordField::AccountName, "account name"},
    {"number", RecordField::AccountNumber, "account number"},
    {"pin", RecordField::Pin, "PIN"},
};

bool HasEnv(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0';
}

// Qt ends the process when it cannot reach a display, so the display is tried first.
bool DisplayReachable(std::string& error) {
    if (HasEnv("QT_QPA_PLATFORM") || HasEnv("WAYLAND_DISPLAY")) {
        return true;
    }
    if (!HasEnv("DISPLAY")) {
        error =
            "clip needs a display to hold the clipboard, and neither DISPLAY nor "
            "WAYLAND_DISPLAY is set; use show --reveal on a terminal instead";
        return false;
    }
    if (!CanOpenX11Display()) {
        error = "clip cannot reach the display " + std::string(std::getenv("DISPLAY"));
        return false;
    }
    return true;
}

void WipeQString(QString& text) {
    if (!text.isEmpty() && text.isDetached()) {
        std::fill(text.begin(), text.end(), QChar(0));
    }
    text = QString();
}

}  // namespace

int ClipCommand(const ParsedArgs& args) {
    const std::string fieldName = args.Value("--field", "password");
    const ClipField* chosen = nullptr;
    for (const ClipField& f : kClipFields) {
        if (f.name == fieldName) {
            chosen = &f;
        }
    }
    if (chosen == nullptr) {
        return CommandUsageError("clip", "unknown field '" + fieldName +
                                             "'; use password, user, location, email, account, "
                                             "number or pin");
    }
    int timeout = 30;
    if (args.Has("--timeout")) {
        const std::string text = args.Value("--timeout", "");
        const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), timeout);
        if (text.empty() || ec != std::errc() || end != text.data() + text.size() || timeout < 1 ||
            timeout > kMaxTimeout) {
            return CommandUsageError(
                "clip", "--timeout takes seconds from 1 to " + std::to_string(kMaxTimeout));
        }
    }
    std::string error;
    if (!DisplayReachable(error)) {
        PrintOwnError(error);
        return kExitFailed;
    }

    QString text;
    std::string where;
    {
        CliDocument d(args);
        if (!CheckReadable(args.positional[0]) || !d.doc.OnOpenDocument(args.positional[0])) {
            return d.Failed();
        }
        const Resolved r = ResolveRecord(d.folders, args.positional[1]);
        if (!r.ok) {
            PrintOwnError(r.error);
            return kExitFailed;
        }
        const CRecord& record = *d.folders.FolderAt(r.folder)->RecordAt(r.record);
        std::string shown = DisplayText(record.GetText(chosen->field));
        text = QString::fromUtf8(shown.data(), static_cast<qsizetype>(shown.size()));
        WipeString(shown);
        where = TerminalSafe(DisplayFolderPath(d.folders, r.folder) + "/" +
                             DisplayText(record.GetText(RecordField::SiteName)));
    }
    if (text.isEmpty()) {
        PrintOwnError("the " + std::string(chosen->label) + " of " + where +
                      " is empty; nothing was copied");
        return kExitFailed;
    }

    int argc = 1;
    char name[] = "zelvant-cli";
    char* argv[] = {name, nullptr};
    QGuiApplication app(argc, argv);
    ui::PutSecretTextOnClipboard(text);
    WipeQString(text);
    PrintError("Copied the " + std::string(chosen->label) + " of " + where +
               " to the clipboard; it is cleared in " + std::to_string(timeout) + " seconds.");

    for (int sig : {SIGINT, SIGTERM, SIGHUP}) {
        std::signal(sig, OnStopSignal);
    }
    QTimer::singleShot(timeout * 1000, &app, &QCoreApplication::quit);
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &app, [] {
        if (g_stop != 0) {
            QCoreApplication::quit();
        }
    });
    poll.start(100);
    // Once the user has copied something else there is nothing left to guard.
    QObject::connect(QGuiApplication::clipboard(), &QClipboard::dataChanged, &app, [] {
        if (!ui::ClipboardHoldsOurText()) {
            QCoreApplication::quit();
        }
    });
    app.exec();
    ui::ClearOurClipboardText();
    return kExitOk;
}

}  // namespace zelvant::cli
