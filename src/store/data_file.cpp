#include "store/data_file.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <new>
#include <random>

#include "store/file_codec.h"

#if !defined(_WIN32)
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace zelvant {
namespace {

// Smallest stored sizes, used to refuse counts the rest of the file cannot hold: a folder is an
// empty name and three numbers; a record's texts are empty.
std::uint64_t MinFolderBytes(const IValueReader& in) {
    return 4 * in.StoredSize(4);
}

std::uint64_t MinRecordBytes(const IValueReader& in) {
    std::uint64_t total = 0;
    for (RecordField f : FileFieldOrder()) {
        total += in.StoredSize(InfoOf(f).kind == FieldKind::Date ? 12 : 4);
    }
    return total;
}

class FileCloser {
  public:
    explicit FileCloser(std::FILE* f) : f_(f) {}
    ~FileCloser() {
        if (f_ != nullptr) {
            std::fclose(f_);
        }
    }
    // Closes now and tells whether everything reached the file.
    int Close() {
        std::FILE* f = f_;
        f_ = nullptr;
        return std::fclose(f) == 0 ? 0 : (errno != 0 ? errno : EIO);
    }

  private:
    std::FILE* f_;
};

void Show(IMessageSink& messages, std::string text, MessageIcon icon) {
    messages.ShowMessage({std::move(text), icon, {}});
}

// Room for the rest of the file at its densest: every stored byte a text byte, or every record
// as small as a record can be stored. Only the pages used take memory.
std::size_t ArenaSize(const IValueReader& in) {
    const std::uint64_t minRecord = MinRecordBytes(in);
    const std::uint64_t perStoredByte = std::max<std::uint64_t>(
        1, (sizeof(CRecord) + alignof(CRecord) + minRecord - 1) / minRecord);
    const std::uint64_t bytes = in.Remaining() * perStoredByte;
    return static_cast<std::size_t>(std::min<std::uint64_t>(bytes, SIZE_MAX / 4));
}

bool ReadRecord(IValueReader& in, CRecordArena& arena, CRecord& record) {
    for (RecordField f : FileFieldOrder()) {
        bool ok = false;
        switch (InfoOf(f).kind) {
            case FieldKind::Text: {
                std::span<char> text;
                ok = CFileCodec::ReadString(in, arena, text);
                record.AttachText(f, text);
                break;
            }
            case FieldKind::Integer: {
                std::int32_t v = 0;
                ok = CFileCodec::ReadInt(in, v);
                record.SetInt(f, v);
                break;
            }
            case FieldKind::Date: {
                DateTimeValue v;
                ok = CFileCodec::ReadDate(in, v);
                record.SetDate(f, v);
                break;
            }
        }
        if (!ok) {
            return false;
        }
    }
    return true;
}

bool WriteRecord(IValueWriter& out, const CRecord& record) {
    for (RecordField f : FileFieldOrder()) {
        bool ok = false;
        switch (InfoOf(f).kind) {
            case FieldKind::Text:
                ok = CFileCodec::WriteString(out, record.GetText(f));
                break;
            case FieldKind::Integer:
                ok = CFileCodec::WriteInt(out, record.GetInt(f));
                break;
            case FieldKind::Date:
                ok = CFileCodec::WriteDate(out, record.GetDate(f));
                break;
        }
        if (!ok) {
            return false;
        }
    }
    return true;
}

enum class ReadFailure { None, Corrupt, OutOfMemoryFolder, OutOfMemoryRecord };

ReadFailure ReadFolders(IValueReader& in, CFolderSequence& folders) {
    std::int32_t count = 0;
    if (!CFileCodec::ReadInt(in, count) || (count < 0 && in.Strict())) {
        return ReadFailure::Corrupt;
    }
    if (count > 0 && static_cast<std::uint64_t>(count) * MinFolderBytes(in) > in.Remaining()) {
        return ReadFailure::Corrupt;
    }
    const std::uint64_t minRecord = MinRecordBytes(in);
    const DateTimeValue placeholder;  // every field is read from the file anyway
    CRecordArena& arena = folders.NewArena(ArenaSize(in));
    for (std::int32_t i = 0; i < count; ++i) {
        const FolderIndex index = folders.Count();
        CFolder* folder = folders.AppendFolder();
        if (folder == nullptr) {
            return ReadFailure::OutOfMemoryFolder;
        }
        std::string name;
        std::int32_t expanded = 0;
        std::int32_t parent = 0;
        std::int32_t records = 0;
        if (!CFileCodec::ReadString(in, name) || !CFileCodec::ReadInt(in, expanded) ||
            !CFileCodec::ReadInt(in, parent)) {
            return ReadFailure::Corrupt;
        }
        folder->SetName(name);
        WipeString(name);
        folder->SetExpanded(expanded);
        folder->SetParent(parent);
        // A parent must stand before its child, or the tree cannot be built.
        if (parent < kTopLevel || parent >= index) {
            return ReadFailure::Corrupt;
        }
        if (!CFileCodec::ReadInt(in, records) || (records < 0 && in.Strict())) {
            return ReadFailure::Corrupt;
        }
        if (records > 0 && static_cast<std::uint64_t>(records) * minRecord > in.Remaining()) {
            return ReadFailure::Corrupt;
        }
        folder->ReserveRecords(records > 0 ? static_cast<std::size_t>(records) : 0);
        for (std::int32_t r = 0; r < records; ++r) {
            CRecord* record = folder->AppendRecord(placeholder, arena);
            if (record == nullptr) {
                return ReadFailure::OutOfMemoryRecord;
            }
            try {
                if (!ReadRecord(in, arena, *record)) {
                    return ReadFailure::Corrupt;
                }
            } catch (const std::bad_alloc&) {
                return ReadFailure::OutOfMemoryRecord;
            }
        }
    }
    return ReadFailure::None;
}

}  // namespace

LoadResult LoadData(IByteSource& source, const DocumentKey& key, CFolderSequence& folders,
                    IMessageSink& messages, std::string_view name) {
    LoadResult result;
    StreamFailure failure = StreamFailure::None;
    const std::unique_ptr<IValueReader> reader = MakeValueReader(key, source, failure);
    if (reader == nullptr) {
        // A wrong password and a changed file get the same answer: telling them apart would
        // tell an attacker which of their changes got through.
        Show(messages,
             failure == StreamFailure::ReadError ? FileErrorText("read", name, source.Error())
                                                 : std::string(msg::kBadFile),
             MessageIcon::Stop);
        return result;
    }
    IValueReader& in = *reader;
    auto corrupt = [&]() -> LoadResult& {
        Show(messages,
             in.IoError() != 0 ? FileErrorText("read", name, in.IoError())
                               : std::string(msg::kBadFile),
             MessageIcon::Stop);
        return result;
    };

    std::array<char, 8> signature{};
    if (!CFileCodec::ReadSignature(in, signature) ||
        std::string_view(signature.data(), signature.size()) != kSignature) {
        return corrupt();
    }
    std::int32_t version = 0;
    if (!CFileCodec::ReadInt(in, version)) {
        return corrupt();
    }
    if (static_cast<std::uint32_t>(version) > static_cast<std::uint32_t>(kFileVersion)) {
        Show(messages, FormatMessage(msg::kVersionTooNew, version), MessageIcon::Stop);
        return result;
    }
    result.version = version;
    if (!CFileCodec::ReadString(in, result.columnLayout)) {
        return corrupt();
    }
    if (version < kFileVersion) {
        // Older files stored something else in this place.
        WipeString(result.columnLayout);
    }
    switch (ReadFolders(in, folders)) {
        case ReadFailure::None:
            break;
        case ReadFailure::Corrupt:
            return corrupt();
        case ReadFailure::OutOfMemoryFolder:
            Show(messages, std::string(msg::kNoMemoryFolder), MessageIcon::Stop);
            return result;
        case ReadFailure::OutOfMemoryRecord:
            Show(messages, std::string(msg::kNoMemoryRecord), MessageIcon::Stop);
            return result;
    }
    if (in.Strict() && in.Remaining() != 0) {
        return corrupt();
    }
    result.modified = version < kFileVersion;
    result.ok = true;
    return result;
}

LoadResult LoadDataFile(const std::string& path, const DocumentKey& key, CFolderSequence& folders,
                        IMessageSink& messages) {
    errno = 0;
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        Show(messages, FileErrorText("open", path, errno != 0 ? errno : ENOENT),
             MessageIcon::Exclamation);
        return {};
    }
    FileCloser closer(file);
    std::error_code ec;
    const auto size = std::filesystem::file_size(path, ec);
    if (ec) {
        Show(messages, FileErrorText("open", path, ec.value()), MessageIcon::Exclamation);
        return {};
    }
    CFileSource source(file, size);
    LoadResult result = LoadData(source, key, folders, messages, path);
    if (const int err = closer.Close(); err != 0 && result.ok) {
        Show(messages, FileErrorText("close", path, err), MessageIcon::Exclamation);
        result.ok = false;
    }
    return result;
}

std::uint64_t PlainSize(const CFolderSequence& folders, std::string_view columnLayout) {
    std::uint64_t total = kSignature.size() + 4 + 4 + columnLayout.size() + 4;
    std::uint64_t fixedPerRecord = 0;
    for (RecordField f : FileFieldOrder()) {
        fixedPerRecord += InfoOf(f).kind == FieldKind::Date ? 12 : 4;
    }
    for (FolderIndex i = 0; i < folders.Count(); ++i) {
        const CFolder& folder = *folders.FolderAt(i);
        total += 16 + folder.Name().size();
        for (int r = 0; r < folder.RecordCount(); ++r) {
            const CRecord& record = *folder.RecordAt(r);
            total += fixedPerRecord;
            for (RecordField f : FileFieldOrder()) {
                if (InfoOf(f).kind == FieldKind::Text) {
                    total += record.GetText(f).size();
                }
            }
        }
    }
    return total;
}

bool SaveData(IByteSink& sink, const DocumentKey& key, const CFolderSequence& folders,
              std::string_view columnLayout, const Nonce* nonce) {
    const std::unique_ptr<IValueWriter> writer = MakeValueWriter(key, sink, nonce);
    IValueWriter& out = *writer;
    if (out.HoldsWholeFile()) {
        out.Reserve(PlainSize(folders, columnLayout));
    }
    if (!CFileCodec::WriteSignature(out) || !CFileCodec::WriteInt(out, kFileVersion) ||
        !CFileCodec::WriteString(out, columnLayout) ||
        !CFileCodec::WriteInt(out, folders.Count())) {
        return false;
    }
    for (FolderIndex i = 0; i < folders.Count(); ++i) {
        const CFolder& folder = *folders.FolderAt(i);
        if (!CFileCodec::WriteString(out, folder.Name()) ||
            !CFileCodec::WriteInt(out, folder.Expanded()) ||
            !CFileCodec::WriteInt(out, folder.Parent()) ||
            !CFileCodec::WriteInt(out, folder.RecordCount())) {
            return false;
        }
        for (int r = 0; r < folder.RecordCount(); ++r) {
            if (!WriteRecord(out, *folder.RecordAt(r))) {
                return false;
            }
        }
    }
    return out.Finish();
}

std::vector<std::uint8_t> SaveDataToMemory(const DocumentKey& key, const CFolderSequence& folders,
                                           std::string_view columnLayout, const Nonce* nonce) {
    CMemorySink sink;
    SaveData(sink, key, folders, columnLayout, nonce);
    return std::move(sink.bytes);
}

namespace {

// Writes and closes an open file; with `sync`, also forces the bytes to disk.
bool WriteAndClose(std::FILE* file, const std::string& path, const DocumentKey& key,
                   const CFolderSequence& folders, std::string_view columnLayout, bool sync,
                   IMessageSink& messages) {
    FileCloser closer(file);
    CFileSink sink(file);
    errno = 0;
    if (!SaveData(sink, key, folders, columnLayout)) {
        Show(messages, FileErrorText("write", path, sink.Error() != 0 ? sink.Error() : EIO),
             MessageIcon::Exclamation);
        return false;
    }
    if (std::fflush(file) != 0) {
        Show(messages, FileErrorText("write", path, errno), MessageIcon::Exclamation);
        return false;
    }
#if !defined(_WIN32)
    if (sync && ::fsync(::fileno(file)) != 0) {
        Show(messages, FileErrorText("write", path, errno), MessageIcon::Exclamation);
        return false;
    }
#else
    (void)sync;
#endif
    if (const int err = closer.Close(); err != 0) {
        Show(messages, FileErrorText("close", path, err), MessageIcon::Exclamation);
        return false;
    }
    return true;
}

}  // namespace

bool SaveDataFile(const std::string& path, const DocumentKey& key, const CFolderSequence& folders,
                  std::string_view columnLayout, IMessageSink& messages) {
    errno = 0;
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        Show(messages, FileErrorText("create", path, errno != 0 ? errno : EIO),
             MessageIcon::Exclamation);
        return false;
    }
    return WriteAndClose(file, path, key, folders, columnLayout, false, messages);
}

#if !defined(_WIN32)
namespace {

namespace fs = std::filesystem;

constexpr std::size_t kTempSuffixLength = 6;  // mkstemp's XXXXXX
constexpr auto kStaleAge = std::chrono::minutes(1);

fs::path FolderOf(const fs::path& file) {
    return file.has_parent_path() ? file.parent_path() : fs::path(".");
}

std::string TempPrefix(const fs::path& file) {
    return "." + file.filename().string() + ".tmp-";
}

// A new, empty, owner-only file beside `file`; -1 with errno set on failure.
int MakeTempBeside(const fs::path& file, std::string& temp) {
    temp = (FolderOf(file) / (TempPrefix(file) + std::string(kTempSuffixLength, 'X'))).string();
    return ::mkstemp(temp.data());
}

// Removes a temporary file on every way out unless it was put in place.
class TempGuard {
  public:
    explicit TempGuard(std::string path) : path_(std::move(path)) {}
    TempGuard(const TempGuard&) = delete;
    TempGuard& operator=(const TempGuard&) = delete;
    ~TempGuard() {
        if (!path_.empty()) {
            ::unlink(path_.c_str());
        }
    }
    void Release() { path_.clear(); }

  private:
    std::string path_;
};

void SyncFolder(const fs::path& dir) {
    if (const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

// A second name for the file, beside `backup`: costs no copying and cannot be half written.
bool LinkBeside(const std::string& from, const fs::path& backup, std::string& name, int& err) {
    for (int attempt = 0; attempt < 8; ++attempt) {
        const int fd = MakeTempBeside(backup, name);
        if (fd < 0) {
            err = errno;
            return false;
        }
        ::close(fd);
        ::unlink(name.c_str());  // only reserved the name; link refuses to overwrite
        if (::link(from.c_str(), name.c_str()) == 0) {
            return true;
        }
        err = errno;
        if (err != EEXIST) {
            return false;
        }
    }
    return false;
}

// For file systems without hard links: a full copy, flushed to disk.
bool CopyBeside(const std::string& from, const fs::path& backup, std::string& name, int& err) {
    const int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) {
        err = errno;
        return false;
    }
    const int out = MakeTempBeside(backup, name);
    if (out < 0) {
        err = errno;
        ::close(in);
        return false;
    }
    TempGuard guard(name);
    std::array<char, 64 * 1024> buffer{};
    bool ok = true;
    for (;;) {
        const ssize_t n = ::read(in, buffer.data(), buffer.size());
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            ok = n == 0;
            break;
        }
        for (ssize_t done = 0; done < n && ok;) {
            const ssize_t w =
                ::write(out, buffer.data() + done, static_cast<std::size_t>(n - done));
            if (w < 0 && errno == EINTR) {
                continue;
            }
            ok = w > 0;
            done += w > 0 ? w : 0;
        }
        if (!ok) {
            break;
        }
    }
    ok = ok && ::fsync(out) == 0;
    err = ok ? 0 : (errno != 0 ? errno : EIO);
    ::close(in);
    if (::close(out) != 0 && ok) {
        err = errno;
        ok = false;
    }
    if (ok) {
        guard.Release();
    }
    return ok;
}

bool IsSameFile(const std::string& path, const struct stat& other) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && st.st_dev == other.st_dev && st.st_ino == other.st_ino;
}

// Leftovers of saves that were killed before they could clean up; young ones may belong to a save
// still running in another process.
void RemoveStaleTemporaries(const fs::path& file) {
    const std::string prefix = TempPrefix(file);
    const auto cutoff = std::chrono::system_clock::now() - kStaleAge;
    std::error_code ec;
    for (fs::directory_iterator it(FolderOf(file), ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (name.size() != prefix.size() + kTempSuffixLength || !name.starts_with(prefix)) {
            continue;
        }
        struct stat st {};
        if (::lstat(it->path().c_str(), &st) != 0 || !S_ISREG(st.st_mode) ||
            st.st_uid != ::geteuid()) {
            continue;
        }
        if (std::chrono::system_clock::from_time_t(st.st_mtime) < cutoff) {
            ::unlink(it->path().c_str());
        }
    }
}

}  // namespace

SafeSaveResult SaveDataFileWithBackup(const std::string& path, const std::string& backupPath,
                                      const DocumentKey& key, const CFolderSequence& folders,
                                      std::string_view columnLayout, IMessageSink& messages) {
    const fs::path target(path);
    std::string temp;
    const int fd = MakeTempBeside(target, temp);
    if (fd < 0) {
        const int err = errno;
        Show(messages, FileErrorText("create a file in", FolderOf(target).string(), err),
             MessageIcon::Exclamation);
        return {SaveStep::Write, err};
    }
    TempGuard tempGuard(temp);
    struct stat existing {};
    if (::stat(path.c_str(), &existing) == 0 && S_ISREG(existing.st_mode)) {
        ::fchmod(fd, existing.st_mode & 07777);
    }
    std::FILE* file = ::fdopen(fd, "wb");
    if (file == nullptr) {
        const int err = errno;
        ::close(fd);
        Show(messages, FileErrorText("create", temp, err), MessageIcon::Exclamation);
        return {SaveStep::Write, err};
    }
    if (!WriteAndClose(file, temp, key, folders, columnLayout, true, messages)) {
        return {SaveStep::Write, EIO};
    }

    bool backupTaken = false;
    struct stat current {};
    if (!backupPath.empty() && ::lstat(path.c_str(), &current) == 0 && S_ISREG(current.st_mode) &&
        !IsSameFile(backupPath, current)) {
        std::string backupTemp;
        int err = 0;
        if (!LinkBeside(path, backupPath, backupTemp, err) &&
            !CopyBeside(path, backupPath, backupTemp, err)) {
            return {SaveStep::Backup, err};
        }
        TempGuard backupGuard(backupTemp);
        if (::rename(backupTemp.c_str(), backupPath.c_str()) != 0) {
            return {SaveStep::Backup, errno};
        }
        backupGuard.Release();
        backupTaken = true;
    }
    if (::rename(temp.c_str(), path.c_str()) != 0) {
        return {SaveStep::Replace, errno};
    }
    tempGuard.Release();
    struct stat backupStat {};
    if (backupTaken && ::stat(backupPath.c_str(), &backupStat) == 0 && backupStat.st_nlink == 1) {
        // A linked backup still has the old file's mode; unless the user linked it elsewhere too,
        // it now stands on its own.
        ::chmod(backupPath.c_str(), S_IRUSR | S_IWUSR);
    }
    // Make the renames themselves durable.
    SyncFolder(FolderOf(target));
    if (backupTaken && FolderOf(fs::path(backupPath)) != FolderOf(target)) {
        SyncFolder(FolderOf(fs::path(backupPath)));
    }
    RemoveStaleTemporaries(target);
    if (!backupPath.empty()) {
        RemoveStaleTemporaries(fs::path(backupPath));
    }
    return {};
}
#else
SafeSaveResult SaveDataFileWithBackup(const std::string& path, const std::string& backupPath,
                                      const DocumentKey& key, const CFolderSequence& folders,
                                      std::string_view columnLayout, IMessageSink& messages) {
    namespace fs = std::filesystem;
    const fs::path target(path);
    const fs::path dir = target.has_parent_path() ? target.parent_path() : fs::path(".");
    std::random_device rd;
    const fs::path temp = dir / ("." + target.filename().string() + ".tmp-" + std::to_string(rd()));
    std::FILE* file = std::fopen(temp.string().c_str(), "wbx");
    if (file == nullptr) {
        const int err = errno;
        Show(messages, FileErrorText("create", temp.string(), err), MessageIcon::Exclamation);
        return {SaveStep::Write, err};
    }
    if (!WriteAndClose(file, temp.string(), key, folders, columnLayout, true, messages)) {
        fs::remove(temp);
        return {SaveStep::Write, EIO};
    }
    std::error_code ec;
    if (!backupPath.empty() && fs::is_regular_file(target, ec) &&
        !fs::equivalent(target, backupPath, ec)) {
        const fs::path backupTemp = fs::path(backupPath).concat(".tmp-" + std::to_string(rd()));
        ec.clear();
        fs::copy_file(target, backupTemp, ec);
        if (!ec) {
            fs::rename(backupTemp, backupPath, ec);
        }
        if (ec) {
            fs::remove(backupTemp);
            fs::remove(temp);
            return {SaveStep::Backup, ec.value()};
        }
    }
    ec.clear();
    fs::rename(temp, target, ec);
    if (ec) {
        fs::remove(temp);
        return {SaveStep::Replace, ec.value()};
    }
    return {};
}
#endif

bool SaveDataFileSafely(const std::string& path, const DocumentKey& key,
                        const CFolderSequence& folders, std::string_view columnLayout,
                        IMessageSink& messages) {
    const SafeSaveResult result =
        SaveDataFileWithBackup(path, {}, key, folders, columnLayout, messages);
    if (result.failed == SaveStep::Replace) {
        Show(messages, FileErrorText("replace", path, result.error), MessageIcon::Exclamation);
    }
    return result.Ok();
}

FileCheck CheckDataFile(const std::string& path, SealedHeader& header, IMessageSink& messages) {
    errno = 0;
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        Show(messages, FileErrorText("open", path, errno != 0 ? errno : ENOENT),
             MessageIcon::Exclamation);
        return FileCheck::Failed;
    }
    FileCloser closer(file);
    std::array<std::uint8_t, kSealedHeaderSize> first{};
    const std::size_t got = std::fread(first.data(), 1, first.size(), file);
    std::error_code ec;
    const auto size = std::filesystem::file_size(path, ec);
    if (std::ferror(file) || ec) {
        Show(messages, FileErrorText("read", path, ec ? ec.value() : EIO),
             MessageIcon::Exclamation);
        return FileCheck::Failed;
    }
    switch (ParseHeader(std::span(first.data(), got), size, header)) {
        case HeaderKind::Legacy:
            return FileCheck::Legacy;
        case HeaderKind::Sealed:
            return FileCheck::Sealed;
        case HeaderKind::Corrupt:
            break;
    }
    Show(messages, std::string(msg::kBadFile), MessageIcon::Stop);
    return FileCheck::Failed;
}

}  // namespace zelvant
