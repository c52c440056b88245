// What only POSIX systems have: links, permission bits, file size limits.
#include "errors.h"
#include "extract_error.h"
#include "output_folder.h"
#include "run_fixture.h"

#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace carrowin::extract;
namespace t = carrowin::testing;
using t::ExtractionRun;

TEST_F(ExtractionRun, DanglingLinkAndHiddenFileCountAsTaken)
{
    std::filesystem::create_symlink("nowhere", outFile("Lunch.eml"));
    t::writeFile(outFile(".hidden.eml"), "x");
    const std::string path = writeMailbox({t::mail("Lunch"), t::mail(".hidden")});
    runExtraction(path, host);
    EXPECT_TRUE(std::filesystem::is_symlink(outFile("Lunch.eml")));
    EXPECT_FALSE(std::filesystem::exists(outDir() / "nowhere"));
    EXPECT_EQ(t::readFile(outFile("Lunch(1).eml")), t::padded(t::mail("Lunch")));
    // The filter makes ".hidden" the visible "hidden", which is free.
    EXPECT_EQ(t::readFile(outFile(".hidden.eml")), "x");
    EXPECT_TRUE(std::filesystem::exists(outFile("hidden.eml")));
}

TEST_F(ExtractionRun, FailingWriteRemovesThePartFileAndKeepsEarlierOnes)
{
    const std::string big(64 * 1024, 'x');
    const std::string path = writeMailbox({t::mail("small"), t::mail("big", big), t::mail("after")});
    // A file size limit makes the second write fail half way, like a full disk.
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    ::getrlimit(RLIMIT_FSIZE, &old);
    rlimit low = old;
    low.rlim_cur = 16 * 1024;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &low), 0);
    EXPECT_EXTRACT_ERROR(runExtraction(path, host), ErrorKind::Output, t::utf8(outFile("big.eml")),
                         std::make_error_code(std::errc::file_too_large));
    ::setrlimit(RLIMIT_FSIZE, &old);
    EXPECT_EQ(outNames(), (std::vector<std::string>{"small.eml"}));
    EXPECT_EQ(host.named, 1u) << "the count at the failure is that of the files there";
    EXPECT_EQ(host.lastNamed, "small");
}

TEST_F(ExtractionRun, UnwritableOutputFolderIsAnError)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "running as root: folder permissions do not stop root";
    const std::string path = writeMailbox({t::mail("a")});
    std::filesystem::permissions(outDir(), std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
    // The words name the message's file, as a failure to write it does.
    EXPECT_EXTRACT_ERROR(runExtraction(path, host), ErrorKind::Output, t::utf8(outFile("a.eml")),
                         std::make_error_code(std::errc::permission_denied));
    std::filesystem::permissions(outDir(), std::filesystem::perms::owner_all);
}

TEST_F(ExtractionRun, SkipExistingWritesNothingOfALargeMessageThatIsAlreadyThere)
{
    // A rerun on a disk with no room for the large message must find it there, never
    // write it again first: here a file size limit stands for the full disk.
    const std::string large = t::mail("Big", std::string(3 << 20, 'x'));
    const std::string path = writeMailbox({t::mail("small"), large});
    runExtraction(path, host);
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    ::getrlimit(RLIMIT_FSIZE, &old);
    rlimit low = old;
    low.rlim_cur = 1 << 20;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &low), 0);
    RunSummary again;
    EXPECT_NO_THROW(again = runExtraction(path, host, {.skipExisting = true}));
    ::setrlimit(RLIMIT_FSIZE, &old);
    EXPECT_EQ(again.skipped, 2u);
    EXPECT_EQ(again.filesWritten, 0u);
    EXPECT_EQ(outNames(), (std::vector<std::string>{"Big.eml", "small.eml"}));
    // A large message that is not there is read again from the mailbox and written.
    std::filesystem::remove(outFile("Big.eml"));
    EXPECT_EQ(runExtraction(path, host, {.skipExisting = true}).filesWritten, 1u);
    EXPECT_EQ(t::readFile(outFile("Big.eml")), t::padded(large));
}

TEST_F(ExtractionRun, TemporariesOfAProcessOfThisHostThatIsGoneAreRemovedNoOthers)
{
    // What runs killed on a file system without anonymous files leave behind.
    const pid_t child = ::fork();
    if (child == 0)
        ::_exit(0);
    ::waitpid(child, nullptr, 0); // gone
    const std::string gone = temporaryName(static_cast<std::uint32_t>(child), 7);
    const std::string living = temporaryName(static_cast<std::uint32_t>(::getppid()), 7);
    const std::string otherHost = ".carrowin-elsewhere-" + std::to_string(child) + "-7.tmp";
    const std::string oldForm = ".carrowin-" + std::to_string(child) + "-7.tmp";
    for (const std::string& name : {gone, living, otherHost, oldForm})
        t::writeFile(outFile(name), "part of a message");
    runExtraction(writeMailbox({t::mail("a")}), host);
    EXPECT_EQ(outNames(), (std::vector<std::string>{oldForm, otherHost, living, "a.eml"}));
}
