#include "eml_store.h"

#include "errors.h"
#include "file_store.h"
#include "folder_names.h"
#include "paths.h"
#include "path_rules.h"

#include <optional>

namespace carrowin::extract {
namespace {

// Numbers a name found taken as a file is to get it on from there, from the highest
// number found taken so far in its folder: another program writing the same names
// meanwhile would take every one of the next names of this run too.
class NumberingOn {
public:
    ChosenName operator()(const ChosenName& chosen, const OutputFolder& target, const TakenTest& taken)
    {
        if (m_folder != &target) {
            m_folder = &target;
            m_memo = NumberingMemo(fileNameKey, NumberingMemo::Keeps::Frontier);
        }
        const TakenTest takenHere = [&](const std::string& name) { return isReservedDeviceName(name) || taken(name); };
        const std::string extension = chosen.fileName.substr(chosen.baseName.size());
        return chooseFreeName(chosen.baseName, extension, takenHere, m_memo, kFileNameLimit);
    }

private:
    const OutputFolder* m_folder = nullptr;
    NumberingMemo m_memo;
};

class EmlNaming : public FileNaming {
public:
    EmlNaming(const RunContext& run, NamingHost& host) : m_options(run.options), m_host(host) {}

    FilePlace placeOfNext(const std::function<void()>& leave) override;
    FilePlace placeAtTheEnd() override { return {m_folder.get(), m_folder.get()}; }

    void describe(ReadMessage& m, const MessageReader& reader) override
    {
        m.bySubject = m_settings.bySubject;
        m.baseName = baseName(reader);
        m.extension = reader.excerpt().extension();
    }

    // The first free name from what the folder held when the run came to it and what the
    // run has given; the working name goes on from it.
    ChosenName nameOf(const ReadMessage& m) override
    {
        ChosenName chosen = m_names->choose(m.baseName, m.extension);
        m_host.nameChosen(chosen.baseName, m_path);
        return chosen;
    }

    NameOn nameOn() override { return NumberingOn(); }

    std::vector<Candidate> candidatesFor(const ReadMessage& m) override
    {
        std::vector<Candidate> found;
        if (m_folder)
            for (std::string& name : m_names->candidates(m.baseName, m.extension, m.size))
                found.push_back({m_folder.get(), std::move(name)});
        return found;
    }

    // The working name goes on from the file found, as if this run had made it.
    std::string foundIn(const ReadMessage& m, const Candidate& file) override
    {
        m_host.nameChosen(file.name.substr(0, file.name.size() - m.extension.size()), m_path);
        return file.name;
    }

    // In prefix mode the next name depends on whether this message is there already.
    bool nextNameWaits() const override { return !m_settings.bySubject; }

    std::string pathOfCurrent(const MessageReader& reader) override
    {
        return text::joinPath(m_folder->path(),
                              m_names->nameItWouldGet(baseName(reader), reader.excerpt().extension(), *m_folder));
    }

private:
    // The message's name before numbering.
    std::string baseName(const MessageReader& reader) const
    {
        return m_options.decodeSubjects && m_settings.bySubject
                   ? finishBaseName(decodedSubjectText(reader.headerBlock(), m_settings.removeRe))
                   : baseNameFor(reader.excerpt().subjectBody(), m_settings);
    }

    const RunOptions& m_options;
    NamingHost& m_host;
    NamingSettings m_settings; // of the message being read
    std::string m_path;        // of the output folder, with its separator; empty before the first
    std::unique_ptr<OutputFolder> m_folder;
    std::optional<FolderNames> m_names; // of m_folder
};

// The output folder is opened when the run comes to it; every message waiting for the
// one before is named first.
FilePlace EmlNaming::placeOfNext(const std::function<void()>& leave)
{
    m_settings = m_host.currentSettings();
    if (const std::string why = settingsRefusal(m_settings); !why.empty())
        throw ExtractError(ErrorKind::Settings, {}, why);
    if (!text::endsWithSeparator(m_settings.outputFolder))
        m_settings.outputFolder += text::kPathSeparator;
    if (m_path == m_settings.outputFolder)
        return {m_folder.get(), m_folder.get()};
    if (!m_path.empty())
        leave();
    m_names.reset();
    m_folder.reset();
    m_path = m_settings.outputFolder;
    m_folder = openStoreFolder(m_path, m_options.makeOutputFolder, m_options);
    const OutputFolder* folder = m_folder.get();
    const std::vector<std::string> names = folder ? folder->names() : std::vector<std::string>{};
    if (folder && !m_options.dryRun)
        folder->removeStaleTemporaries(names, false); // what a killed run left
    ExistingFiles::SizeOf sizeOf;
    if (m_options.skipExisting && folder)
        sizeOf = [folder](const std::string& name) { return folder->regularFileSize(name); };
    m_names.emplace(names, std::move(sizeOf));
    return {folder, folder};
}

} // namespace

MakeStore emlStore(NamingHost& naming)
{
    return [&naming](const RunContext& run) {
        return std::make_unique<FileStore>(run, std::make_unique<EmlNaming>(run, naming));
    };
}

} // namespace carrowin::extract
