#include "ui/busy_work.h"

#include <QEventLoop>
#include <QPointer>
#include <QProgressDialog>
#include <atomic>
#include <memory>
#include <optional>
#include <thread>

namespace zelvant::ui {
namespace {

// One note per window, kept hidden between uses: a window that comes and goes every second would
// also come and go under tools that walk the window tree, such as screen readers and test drivers.
// Without a window the note is `own`, gone with the work.
QProgressDialog& NoteFor(QWidget* parent, const QString& text,
                         std::unique_ptr<QProgressDialog>& own) {
    QProgressDialog* note = parent != nullptr
                                ? parent->findChild<QProgressDialog*>(QStringLiteral("BusyNote"),
                                                                      Qt::FindDirectChildrenOnly)
                                : nullptr;
    if (note == nullptr) {
        note = new QProgressDialog(text, QString(), 0, 0, parent);
        note->setObjectName(QStringLiteral("BusyNote"));
        note->setWindowTitle(QStringLiteral("Please Wait"));
        note->setWindowModality(Qt::ApplicationModal);
        note->setMinimumDuration(0);
        note->setCancelButton(nullptr);
        note->setAutoClose(false);
        note->setAutoReset(false);
        if (parent == nullptr) {
            own.reset(note);
        }
    }
    note->setLabelText(text);
    return *note;
}

}  // namespace

void RunBusy(QWidget* parent, const QString& text, const std::function<void()>& work) {
    std::unique_ptr<QProgressDialog> own;
    QProgressDialog& note = NoteFor(parent, text, own);
    note.show();

    QEventLoop loop;
    std::atomic<bool> done = false;
    std::thread worker([&] {
        work();
        done = true;
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    if (!done) {
        loop.exec();
    }
    worker.join();
    note.hide();
}

SealingServices BusySealing(QWidget* parent, SealingServices inner) {
    QPointer<QWidget> owner(parent);
    SealingServices busy;
    busy.derive = [owner, derive = inner.derive](std::string_view password, const Salt& salt,
                                                 const SealParams& params,
                                                 std::span<std::uint8_t, kSealedKeySize> out) {
        bool ok = false;
        RunBusy(owner.data(), QString::fromUtf8(kDerivingKeyText),
                [&] { ok = derive(password, salt, params, out); });
        return ok;
    };
    // Measured once per run: later seals must not flash a note for a value already known.
    auto measured = std::make_shared<std::optional<SealParams>>();
    busy.chooseParams = [owner, choose = inner.chooseParams, measured] {
        if (!measured->has_value()) {
            SealParams params;
            RunBusy(owner.data(), QString::fromUtf8(kMeasuringText), [&] { params = choose(); });
            *measured = params;
        }
        return **measured;
    };
    return busy;
}

}  // namespace zelvant::ui
