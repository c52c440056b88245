#pragma once
// A run against folders of its own, with a host that plays the window: it holds the
// settings and takes back what the run writes into them.
#include "eml_store.h"
#include "run.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <optional>

namespace carrowin::testing {

class FakeHost : public extract::RunHost, public extract::NamingHost {
public:
    extract::NamingSettings settings{true, true, "File", ""};
    bool cancel = false;
    std::vector<extract::Progress> progress;
    std::vector<std::string> names;
    std::function<void(const extract::Progress&)> onFile;
    std::uint64_t named = 0; // as the run last told
    std::string lastNamed;

    bool cancelRequested() override { return cancel; }
    extract::NamingSettings currentSettings() override { return settings; }
    void nameChosen(const std::string& workingName, const std::string& outputFolder) override
    {
        settings.workingName = workingName;
        settings.outputFolder = outputFolder;
        names.push_back(workingName);
    }
    void filesNamed(const extract::Progress& p, const std::string& lastBaseName) override
    {
        named = p.filesNamed;
        lastNamed = lastBaseName;
    }
    void messageDone(const extract::Progress& p) override
    {
        progress.push_back(p);
        if (onFile)
            onFile(p);
    }
};

// A mailbox file, or a stream (named `label` in words), into a file a message, as the
// window runs it.
inline extract::RunSummary runExtraction(const std::string& path, FakeHost& host, const extract::RunOptions& options,
                                         std::size_t pieceSize = extract::kReadPiece)
{
    return extract::runMailbox({path, nullptr, pieceSize}, extract::emlStore(host), host, options);
}
inline extract::RunSummary runExtraction(const std::string& path, FakeHost& host,
                                         std::size_t pieceSize = extract::kReadPiece)
{
    return runExtraction(path, host, {}, pieceSize);
}
inline extract::RunSummary runExtractionOfStream(const extract::ReadNext& read, const std::string& label,
                                                 FakeHost& host, const extract::RunOptions& options)
{
    return extract::runMailbox({label, &read}, extract::emlStore(host), host, options);
}

class ExtractionRun : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::filesystem::create_directory(outDir());
        host.settings.outputFolder = utf8(outDir());
    }
    // The mailbox's path as the front ends hand it to the run: UTF-8.
    std::string writeMailbox(const std::vector<std::string>& messages)
    {
        const auto path = in / "Inbox.mbx";
        writeFile(path, mailbox(messages));
        return utf8(path);
    }
    std::filesystem::path outDir() const { return out.path() / "out"; }
    std::filesystem::path outFile(std::string_view utf8Name) const { return outDir() / pathOf(utf8Name); }
    std::vector<std::string> outNames() const
    {
        std::vector<std::string> names;
        for (const auto& e : std::filesystem::directory_iterator(outDir()))
            names.push_back(utf8(e.path().filename()));
        std::sort(names.begin(), names.end());
        return names;
    }

    TempDir in;
    TempDir out;
    FakeHost host;
};

// A pipe: read once, in order, at most `most` bytes at a time as they come, and now and
// then nothing for a moment.
inline extract::ReadNext pipeOf(const std::string& bytes, std::size_t& at, std::size_t most = 3)
{
    return [&bytes, &at, most, reads = 0](char* buffer, std::size_t n) mutable -> std::optional<std::size_t> {
        if (++reads % 5 == 0)
            return std::nullopt;
        const std::size_t got = std::min({n, most, bytes.size() - at});
        std::memcpy(buffer, bytes.data() + at, got);
        at += got;
        return got;
    };
}

// A message as an mbox holds it, by the rule read line by line: every line that begins
// with ">"s and "From " gets one ">" more (mboxrd).
inline std::string quotedByRule(std::string_view message)
{
    std::string out;
    for (std::size_t at = 0; at <= message.size();) {
        const std::size_t lf = message.find('\n', at);
        const std::size_t end = lf == std::string_view::npos ? message.size() : lf + 1;
        const std::string_view line = message.substr(at, end - at);
        const std::size_t gt = line.find_first_not_of('>');
        if (gt != std::string_view::npos && line.substr(gt).starts_with("From "))
            out += '>';
        out += line;
        if (lf == std::string_view::npos)
            break;
        at = end;
    }
    return out;
}

} // namespace carrowin::testing
