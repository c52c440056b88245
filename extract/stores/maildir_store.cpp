#include "maildir_store.h"

#include "file_store.h"
#include "maildir_format.h"
#include "native_files.h"
#include "paths.h"

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <unordered_map>

namespace carrowin::extract {
namespace {

// A name no other delivery gives: the time to the microsecond, the process, a count of
// the deliveries of this process into any Maildir, and the host.
std::string uniqueName()
{
    static const std::string host = native::hostName();
    static const std::uint32_t pid = native::processId();
    static std::atomic<std::uint64_t> delivered{0};
    const auto now = std::chrono::system_clock::now().time_since_epoch();
    const auto us = std::chrono::duration_cast<std::chrono::microseconds>(now).count();
    return maildirUniqueName(us / 1000000, static_cast<std::uint32_t>(us % 1000000), pid, ++delivered, host);
}

ChosenName seenName(std::string base)
{
    std::string file = base + std::string(kMaildirSeen);
    return {std::move(base), std::move(file)};
}

class MaildirNaming : public FileNaming {
public:
    MaildirNaming(const RunContext& run, std::string path, bool subfolder)
        : m_options(run.options), m_path(std::move(path)), m_subfolder(subfolder)
    {
    }

    FilePlace placeOfNext(const std::function<void()>&) override { return folders(); }
    // An empty mailbox gives an empty Maildir.
    FilePlace placeAtTheEnd() override { return m_options.dryRun ? FilePlace{} : folders(); }
    void describe(ReadMessage&, const MessageReader&) override {}

    // A dry run shows where the message would go: its name is made as it is written.
    ChosenName nameOf(const ReadMessage&) override { return m_options.dryRun ? ChosenName{{}, "cur/"} : seenName(uniqueName()); }

    // Should a name be taken after all, another is made.
    NameOn nameOn() override
    {
        return [](const ChosenName&, const OutputFolder&, const TakenTest& taken) {
            for (;;)
                if (ChosenName name = seenName(uniqueName()); !taken(name.fileName))
                    return name;
        };
    }

    // The files of its size, and those of its record's whole body: the files of a Maildir
    // written before messages left their padding out.
    std::vector<Candidate> candidatesFor(const ReadMessage& m) override
    {
        std::vector<Candidate> found;
        const auto add = [&](std::uint64_t zeros) {
            if (const auto same = m_bySize.find(m.size + zeros); same != m_bySize.end())
                for (Candidate c : same->second) {
                    c.zerosAfter = zeros;
                    found.push_back(std::move(c));
                }
        };
        add(0);
        if (m.padding > 0)
            add(m.padding);
        return found;
    }

    bool withoutPadding() const override { return true; }

    std::string foundIn(const ReadMessage&, const Candidate& file) override
    {
        return std::string(file.folder == m_cur.get() ? "cur/" : "new/") + file.name;
    }

    // The file the message would have become.
    std::string pathOfCurrent(const MessageReader&) override
    {
        return text::joinPath(m_cur->path(), seenName(uniqueName()).fileName);
    }

private:
    // The Maildir's folders, made (not in a dry run) and opened when the run first needs
    // them: a run that fails before its first message leaves nothing behind.
    FilePlace folders();
    void markSubfolder() const;
    void indexExisting();

    const RunOptions& m_options;
    const std::string m_path;
    const bool m_subfolder;
    bool m_opened = false;
    std::unique_ptr<OutputFolder> m_tmp, m_cur, m_new;
    std::unordered_map<std::uint64_t, std::vector<Candidate>> m_bySize; // skipExisting
};

FilePlace MaildirNaming::folders()
{
    if (!m_opened) {
        m_opened = true;
        m_cur = openStoreFolder(text::joinPath(m_path, "cur"), true, m_options);
        m_new = openStoreFolder(text::joinPath(m_path, "new"), true, m_options);
        m_tmp = openStoreFolder(text::joinPath(m_path, "tmp"), true, m_options);
        if (m_subfolder && !m_options.dryRun)
            markSubfolder();
        if (m_tmp && !m_options.dryRun)
            m_tmp->removeStaleTemporaries(m_tmp->names(), false); // what a killed run left
        if (m_options.skipExisting)
            indexExisting();
    }
    return {m_tmp.get(), m_cur.get()};
}

void MaildirNaming::markSubfolder() const
{
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::path marker = text::pathFromUtf8(text::joinPath(m_path, "maildirfolder"));
    if (!fs::exists(fs::symlink_status(marker, ec)))
        std::ofstream(marker, std::ios::app | std::ios::binary); // empty; it only marks
}

// The messages of cur/ and new/ by size: a message may be any of them.
void MaildirNaming::indexExisting()
{
    for (const OutputFolder* folder : {m_cur.get(), m_new.get()})
        if (folder)
            for (std::string& name : folder->names())
                if (name.front() != '.')
                    if (const auto bytes = folder->regularFileSize(name))
                        m_bySize[*bytes].push_back({folder, std::move(name)});
}

} // namespace

MakeStore maildirStore(const std::string& path, bool subfolder)
{
    return [path, subfolder](const RunContext& run) {
        return std::make_unique<FileStore>(run, std::make_unique<MaildirNaming>(run, path, subfolder));
    };
}

} // namespace carrowin::extract
