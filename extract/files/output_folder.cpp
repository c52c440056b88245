#include "output_folder.h"

#include "errors.h"
#include "native_files.h"
#include "paths.h"

#include <algorithm>
#include <atomic>
#include <filesystem>

namespace carrowin::extract {
namespace {

native::Folder folderOf(NativeHandle handle, const std::string& path)
{
    return {handle, path};
}

// Reads up to `n` bytes from where the last read ended. A regular file reads short only
// at its end, so a short read ends it: no further call is made to learn that.
std::size_t readUpTo(NativeHandle file, char* buffer, std::size_t n)
{
    std::size_t got = 0;
    while (got < n) {
        std::error_code ec;
        const std::size_t r = native::read(file, buffer + got, n - got, ec);
        got += r;
        if (ec || r == 0 || got < n)
            break;
    }
    return got;
}

// A host's name as it can stand in a file name.
std::string hostTag()
{
    std::string tag = native::hostName();
    for (char& c : tag)
        if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.'))
            c = '_';
    return tag;
}

struct TemporaryOwner {
    std::string host;
    std::uint32_t pid = 0;
};

// Whose a temporary name is: PREFIX HOST-PID-N.tmp; none for any other name.
std::optional<TemporaryOwner> ownerOf(std::string_view name)
{
    const std::string_view prefix = native::temporaryPrefix();
    if (!name.starts_with(prefix) || !name.ends_with(".tmp"))
        return std::nullopt;
    name = name.substr(prefix.size(), name.size() - prefix.size() - 4);
    const auto counterAt = name.rfind('-');
    if (counterAt == std::string_view::npos || counterAt == 0)
        return std::nullopt;
    const auto pidAt = name.rfind('-', counterAt - 1);
    if (pidAt == std::string_view::npos)
        return std::nullopt;
    const std::string_view pid = name.substr(pidAt + 1, counterAt - pidAt - 1);
    const std::string_view counter = name.substr(counterAt + 1);
    const auto digits = [](std::string_view s) {
        return !s.empty() && s.size() <= 10 && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
    };
    if (!digits(pid) || !digits(counter))
        return std::nullopt;
    return TemporaryOwner{std::string(name.substr(0, pidAt)), static_cast<std::uint32_t>(std::stoull(std::string(pid)))};
}

} // namespace

std::string temporaryName(std::uint32_t pid, unsigned n)
{
    static const std::string host = hostTag();
    return std::string(native::temporaryPrefix()) + host + "-" + std::to_string(pid) + "-" + std::to_string(n) + ".tmp";
}

void OutputFolder::removeStaleTemporaries(const std::vector<std::string>& names, bool ownToo) const noexcept
{
    try {
        static const std::string host = hostTag();
        const std::uint32_t self = native::processId();
        for (const std::string& name : names) {
            const std::optional<TemporaryOwner> owner = ownerOf(name);
            if (!owner || owner->host != host || host.empty())
                continue;
            if (owner->pid == self ? ownToo : !native::processRunning(owner->pid))
                native::removeEntry(folderOf(m_handle, m_path), name);
        }
    } catch (...) { // a temporary that stays is a hidden file, no harm
    }
}

PendingFile::~PendingFile()
{
    if (m_handle != kNoHandle && !m_named)
        m_folder->discard(*this);
    else if (m_handle != kNoHandle)
        (void)native::close(m_handle);
}

std::error_code PendingFile::write(std::string_view data) noexcept
{
    while (!data.empty()) {
        std::error_code ec;
        const std::size_t n = native::write(m_handle, data.data(), data.size(), ec);
        if (ec)
            return ec;
        data.remove_prefix(n);
    }
    return {};
}

std::error_code PendingFile::truncate(std::uint64_t size) noexcept
{
    return native::truncate(m_handle, size);
}

bool PendingFile::setModified(std::int64_t seconds) noexcept
{
    const std::optional<std::int64_t> written = native::modifiedTime(m_handle);
    if (native::setModified(m_handle, seconds))
        return false;
    if (native::modifiedTime(m_handle) == seconds)
        return true;
    if (written)
        (void)native::setModified(m_handle, *written);
    return false;
}

std::size_t PendingFile::readAt(std::uint64_t offset, char* buffer, std::size_t n, std::error_code& ec) const noexcept
{
    return native::readAt(m_handle, offset, buffer, n, ec);
}

OutputFolder::OutputFolder(const std::string& path) : m_path(path)
{
    std::error_code ec;
    const native::Opened folder = native::openFolder(path, ec);
    if (ec)
        throw ExtractError::fromCode(ErrorKind::Output, "Cannot open the output folder", path, ec);
    if (folder.kind != native::FileKind::Folder)
        throw ExtractError(ErrorKind::Output, path, "Cannot open the output folder \"" + path + "\": it is not a folder");
    m_handle = folder.handle;
}

OutputFolder::~OutputFolder()
{
    if (m_handle != kNoHandle)
        (void)native::close(m_handle);
}

std::optional<PendingFile> OutputFolder::createPending(std::error_code& ec) const noexcept
{
    const native::Folder folder = folderOf(m_handle, m_path);
    // An anonymous file, where the file system has them: nothing at all is left of it
    // when the program is killed.
    if (const NativeHandle file = native::createAnonymous(folder, ec); file != kNoHandle)
        return PendingFile(*this, file, {});
    // Else under a hidden name that is never taken for a message: a later run neither
    // counts nor trips over one that a killed run left behind.
    static std::atomic<unsigned> counter{0};
    m_gaveTemporaryNames = true;
    while (!ec) {
        std::string temporary = temporaryName(native::processId(), counter++);
        if (const NativeHandle file = native::createExclusive(folder, temporary, ec); file != kNoHandle)
            return PendingFile(*this, file, std::move(temporary));
    }
    return std::nullopt;
}

void OutputFolder::makeDurable(std::span<PendingFile* const> files, const std::string& firstName) const
{
    std::vector<NativeHandle> handles;
    handles.reserve(files.size());
    for (const PendingFile* file : files)
        handles.push_back(file->m_handle);
    if (const std::error_code ec = native::makeDurable(folderOf(m_handle, m_path), handles))
        throw ExtractError::fromCode(ErrorKind::Output, "Cannot write", text::joinPath(m_path, firstName), ec);
}

void OutputFolder::makeNamesDurable() const
{
    if (const std::error_code ec = native::makeNamesDurable(folderOf(m_handle, m_path)))
        throw ExtractError::fromCode(ErrorKind::Output, "Cannot write in the output folder", m_path, ec);
}

bool OutputFolder::name(PendingFile& file, const std::string& name, const OutputFolder* into) const
{
    const OutputFolder& target = into ? *into : *this;
    std::error_code ec;
    switch (native::nameFile(folderOf(m_handle, m_path), file.m_handle, file.m_temporaryName,
                             folderOf(target.m_handle, target.m_path), name, ec)) {
    case native::Naming::Named:
        file.m_temporaryName.clear();
        file.m_named = true;
        return true;
    case native::Naming::Taken:
        return false;
    case native::Naming::Failed:
        break;
    }
    throw ExtractError::fromCode(ErrorKind::Output, "Cannot create", text::joinPath(target.m_path, name), ec);
}

void OutputFolder::finish(PendingFile& file, const std::string& name, const OutputFolder* into) const
{
    const OutputFolder& target = into ? *into : *this;
    const std::error_code ec = native::close(std::exchange(file.m_handle, kNoHandle));
    if (!ec)
        return;
    native::removeEntry(folderOf(target.m_handle, target.m_path), name);
    throw ExtractError::fromCode(ErrorKind::Output, "Cannot write", text::joinPath(target.m_path, name), ec);
}

void OutputFolder::discard(PendingFile& file) const noexcept
{
    if (file.m_handle != kNoHandle)
        (void)native::close(std::exchange(file.m_handle, kNoHandle));
    if (!file.m_temporaryName.empty())
        native::removeEntry(folderOf(m_handle, m_path), file.m_temporaryName);
}

bool OutputFolder::holds(const std::string& name) const noexcept
{
    return native::entryExists(folderOf(m_handle, m_path), name);
}

std::optional<std::uint64_t> OutputFolder::regularFileSize(const std::string& name) const noexcept
{
    return native::regularFileSize(folderOf(m_handle, m_path), name);
}

bool OutputFolder::holdsBytes(const std::string& name, std::uint64_t size, const BytesAt& ours) const
{
    const NativeHandle file = native::openEntryForReading(folderOf(m_handle, m_path), name);
    if (file == kNoHandle)
        return false;
    // One byte more is asked for than the file should hold: getting it means the file is
    // larger (it may have grown since its size was taken), a short read that it has ended.
    std::string theirs(static_cast<std::size_t>(std::min<std::uint64_t>(size, kComparePiece)) + 1, '\0');
    bool same = true;
    std::uint64_t done = 0;
    do {
        const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(kComparePiece, size - done));
        const bool last = done + n == size;
        const std::size_t got = readUpTo(file, theirs.data(), last ? n + 1 : n);
        same = got == n && ours(done, n) == std::string_view(theirs.data(), n);
        done += n;
    } while (same && done < size);
    (void)native::close(file);
    return same;
}

std::vector<std::string> OutputFolder::names() const
{
    std::vector<std::string> names;
    std::error_code ec;
    for (std::filesystem::directory_iterator it(text::pathFromUtf8(m_path), ec), end; !ec && it != end;
         it.increment(ec))
        names.push_back(text::utf8FromPath(it->path().filename()));
    return names;
}

void makeFolder(std::string path)
{
    while (path.size() > 1 && text::endsWithSeparator(path))
        path.pop_back();
    std::error_code ec;
    const std::filesystem::path folder = text::pathFromUtf8(path);
    std::filesystem::create_directories(folder, ec);
    if (!ec)
        return;
    // What stands in the way is said, not only "File exists".
    std::error_code statEc;
    const std::filesystem::file_status st = std::filesystem::symlink_status(folder, statEc);
    std::string why = ec.message();
    if (std::filesystem::is_symlink(st) && !std::filesystem::exists(folder, statEc))
        why = "it is a link to nothing that exists";
    else if (std::filesystem::exists(st) && !std::filesystem::is_directory(folder, statEc))
        why = "a file of that name is in the way";
    throw ExtractError(ErrorKind::Output, path, "Cannot create the output folder \"" + path + "\": " + why, ec);
}

} // namespace carrowin::extract
