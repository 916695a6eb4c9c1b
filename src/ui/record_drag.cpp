#include "ui/record_drag.h"

#include <QLatin1Char>
#include <QLatin1String>
#include <QMimeData>
#include <QtEndian>
#include <algorithm>
#include <cstdint>
#include <limits>
#include <new>

namespace zelvant::ui {

namespace {

constexpr std::size_t kHeaderWords = 3;  // button, folder, n
constexpr std::size_t kWordSize = 4;
constexpr std::uint32_t kLargestIndex = std::numeric_limits<std::int32_t>::max();

void PutWord(QByteArray& block, std::size_t word, std::uint32_t value) {
    qToLittleEndian<quint32>(value, block.data() + word * kWordSize);
}

std::uint32_t GetWord(const QByteArray& block, std::size_t word) {
    return qFromLittleEndian<quint32>(block.constData() + word * kWordSize);
}

}  // namespace

QByteArray EncodeRecordDrag(const RecordDragPayload& payload) {
    std::vector<int> records = payload.records;
    std::sort(records.begin(), records.end());
    const std::size_t used = (kHeaderWords + records.size()) * kWordSize;
    const std::size_t step = kRecordDragBlockStep;
    const std::size_t size = std::max<std::size_t>(1, (used + step - 1) / step) * step;
    QByteArray block(static_cast<qsizetype>(size), '\0');
    PutWord(block, 0, static_cast<std::uint32_t>(payload.button));
    PutWord(block, 1, static_cast<std::uint32_t>(payload.folder));
    PutWord(block, 2, static_cast<std::uint32_t>(records.size()));
    for (std::size_t i = 0; i < records.size(); ++i) {
        PutWord(block, kHeaderWords + i, static_cast<std::uint32_t>(records[i]));
    }
    return block;
}

std::optional<RecordDragPayload> DecodeRecordDrag(const QByteArray& block) {
    const auto size = static_cast<std::size_t>(block.size());
    if (size < kHeaderWords * kWordSize) {
        return std::nullopt;
    }
    const std::uint32_t button = GetWord(block, 0);
    const std::uint32_t folder = GetWord(block, 1);
    const std::uint32_t count = GetWord(block, 2);
    // Checking n against the bytes present also bounds what a hostile block can make us allocate.
    const std::size_t room = size / kWordSize - kHeaderWords;
    if ((button != 1 && button != 2) || folder > kLargestIndex || count == 0 || count > room) {
        return std::nullopt;
    }
    RecordDragPayload payload;
    payload.button = static_cast<int>(button);
    payload.folder = static_cast<FolderIndex>(folder);
    payload.records.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint32_t record = GetWord(block, kHeaderWords + i);
        if (record > kLargestIndex ||
            (!payload.records.empty() && static_cast<int>(record) <= payload.records.back())) {
            return std::nullopt;
        }
        payload.records.push_back(static_cast<int>(record));
    }
    return payload;
}

QString RecordDragMimeType(const QString& runName) {
    // A quoted parameter value; anything outside printable ASCII is %-escaped so that the type
    // survives platforms that carry format names as plain byte strings.
    QString value;
    const QByteArray utf8 = runName.toUtf8();
    for (const char c : utf8) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte == '"' || byte == '\\') {
            value += QLatin1Char('\\');
            value += QLatin1Char(static_cast<char>(byte));
        } else if (byte < 0x20 || byte >= 0x7f || byte == '%') {
            value += QLatin1Char('%');
            value += QString::number(byte, 16).rightJustified(2, QLatin1Char('0')).toUpper();
        } else {
            value += QLatin1Char(static_cast<char>(byte));
        }
    }
    return QLatin1String(kRecordDragMimeBase) + QLatin1String(";run=\"") + value + QLatin1Char('"');
}

std::unique_ptr<QMimeData> MakeRecordDragData(const QString& runName,
                                              const RecordDragPayload& payload) {
    auto data = std::make_unique<QMimeData>();
    data->setData(RecordDragMimeType(runName), EncodeRecordDrag(payload));
    return data;
}

std::optional<RecordDragPayload> ReadRecordDragData(const QMimeData& data, const QString& runName) {
    if (runName.isEmpty()) {
        return std::nullopt;
    }
    const QString type = RecordDragMimeType(runName);
    if (!data.hasFormat(type)) {
        return std::nullopt;
    }
    return DecodeRecordDrag(data.data(type));
}

RecordTransfer CopyOrMoveRecords(CFolderSequence& folders, const RecordDragPayload& payload,
                                 FolderIndex target, bool move, const RecordCopier& copier) {
    RecordTransfer result;
    const CFolder* source = folders.FolderAt(payload.folder);
    std::vector<int> positions = payload.records;
    std::sort(positions.begin(), positions.end());
    if (source == nullptr || folders.FolderAt(target) == nullptr || target == payload.folder ||
        positions.empty() || positions.front() < 0 || positions.back() >= source->RecordCount() ||
        std::adjacent_find(positions.begin(), positions.end()) != positions.end()) {
        result.refused = true;
        return result;
    }

    for (const int record : payload.records) {
        const int before = folders.FolderAt(target)->RecordCount();
        bool made = false;
        try {
            made = copier ? copier(folders, payload.folder, record, target)
                          : folders.CopyRecord(payload.folder, record, target);
        } catch (const std::bad_alloc&) {
            made = false;
        }
        if (!made) {
            // A record that was appended but not filled in is no copy.
            for (int extra = folders.FolderAt(target)->RecordCount() - 1; extra >= before;
                 --extra) {
                folders.RemoveRecord(target, extra);
            }
            result.outOfMemory = true;
            // The source stays whole: removing records that have no copy would lose them.
            return result;
        }
        ++result.copied;
    }

    if (move) {
        // From the highest position down, so the positions still to go stay valid.
        for (auto it = positions.rbegin(); it != positions.rend(); ++it) {
            if (folders.RemoveRecord(payload.folder, *it)) {
                ++result.removed;
            }
        }
    }
    return result;
}

}  // namespace zelvant::ui
