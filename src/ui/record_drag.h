#pragma once
// Records dragged from the record list onto a folder of the folder tree: the block that travels
// with the drag, the private MIME type it travels under, and the copy or move done on the drop.
// The type carries the run's name, so records from another instance (or an earlier run) are
// never taken for this run's own.

#include <QByteArray>
#include <QString>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "store/folder_sequence.h"

class QMimeData;

namespace zelvant::ui {

inline constexpr char kRecordDragMimeBase[] = "application/x-zelvant-records";
// The block grows in steps of this many zero-filled bytes.
inline constexpr int kRecordDragBlockStep = 4096;

struct RecordDragPayload {
    int button = 1;  // the mouse button that started the drag: 1 left, 2 right
    FolderIndex folder = kTopLevel;
    std::vector<int> records;  // positions in that folder, ascending

    bool operator==(const RecordDragPayload&) const = default;
};

// Unsigned 32-bit little-endian numbers: button, folder, n, then the n positions in ascending
// order; zero-filled up to the next multiple of kRecordDragBlockStep.
QByteArray EncodeRecordDrag(const RecordDragPayload& payload);
// Reads n rather than the block's size. Refused: a block too short for its n, a button other
// than 1 or 2, a folder or position beyond the signed range, no records, positions not strictly
// ascending.
std::optional<RecordDragPayload> DecodeRecordDrag(const QByteArray& block);

// kRecordDragMimeBase with the run's name as a quoted parameter.
QString RecordDragMimeType(const QString& runName);
std::unique_ptr<QMimeData> MakeRecordDragData(const QString& runName,
                                              const RecordDragPayload& payload);
// None for data of another run, data without the type, a broken block, or an empty run name.
std::optional<RecordDragPayload> ReadRecordDragData(const QMimeData& data, const QString& runName);

// Appends a copy of one record to the target folder; false when it could not be made.
using RecordCopier = std::function<bool(CFolderSequence& folders, FolderIndex source, int record,
                                        FolderIndex target)>;

struct RecordTransfer {
    bool refused = false;  // nothing was tried
    int copied = 0;
    int removed = 0;
    bool outOfMemory = false;  // a copy could not be made; the source was left whole
};

// Copies the listed records in payload order to the end of the target, then, for a move, removes
// them from the source. A copy that fails stops the copying: what was copied stays, and nothing
// is removed from the source. Refused: target missing or the source itself, a missing source
// folder, no records, positions out of range or listed twice. The copier defaults to
// CFolderSequence::CopyRecord.
RecordTransfer CopyOrMoveRecords(CFolderSequence& folders, const RecordDragPayload& payload,
                                 FolderIndex target, bool move, const RecordCopier& copier = {});

}  // namespace zelvant::ui
