// check-split MAILBOX PLAN FOLDER [--all]: whether every file under a message's name in
// FOLDER holds exactly that message's bytes, as PLAN (what `carrowin-cli --dry-run`
// printed for MAILBOX into an empty folder) says where each lies; with --all, whether
// every message is there too. For the power-cut test: prints one line of figures and
// exits 1 when a file is damaged, unknown or (with --all) missing.
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <sstream>
#include <string>

namespace fs = std::filesystem;

namespace {

struct Planned {
    std::uint64_t offset = 0; // of the record; the message starts 16 bytes after it
    std::uint64_t size = 0;
};

std::map<std::string, Planned> readPlan(const fs::path& path)
{
    std::map<std::string, Planned> plan;
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);) {
        std::istringstream fields(line);
        std::string number, offset, size, name;
        if (std::getline(fields, number, '\t') && std::getline(fields, offset, '\t')
            && std::getline(fields, size, '\t') && std::getline(fields, name, '\t'))
            plan[name] = {std::stoull(offset), std::stoull(size)};
    }
    return plan;
}

bool holds(const fs::path& file, std::ifstream& mailbox, const Planned& p)
{
    std::error_code ec;
    if (!fs::is_regular_file(fs::symlink_status(file, ec)) || fs::file_size(file, ec) != p.size)
        return false;
    std::ifstream in(file, std::ios::binary);
    mailbox.clear();
    mailbox.seekg(static_cast<std::streamoff>(p.offset + 16));
    static std::string ours(1 << 20, '\0');
    static std::string theirs(1 << 20, '\0');
    for (std::uint64_t left = p.size; left > 0;) {
        const auto n = static_cast<std::streamsize>(std::min<std::uint64_t>(left, ours.size()));
        mailbox.read(ours.data(), n);
        in.read(theirs.data(), n);
        if (mailbox.gcount() != n || in.gcount() != n || ours.compare(0, n, theirs, 0, n) != 0)
            return false;
        left -= static_cast<std::uint64_t>(n);
    }
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 4) {
        std::cerr << "usage: check-split MAILBOX PLAN FOLDER [--all]\n";
        return 2;
    }
    const bool all = argc > 4 && std::string(argv[4]) == "--all";
    const std::map<std::string, Planned> plan = readPlan(argv[2]);
    std::ifstream mailbox(argv[1], std::ios::binary);
    std::uint64_t named = 0, whole = 0, damaged = 0, unknown = 0, temporary = 0;
    std::error_code ec;
    if (fs::exists(argv[3], ec))
        for (const auto& entry : fs::directory_iterator(argv[3])) {
            const std::string name = entry.path().filename().string();
            if (name.starts_with(".carrowin-")) { // unnamed, as a file system without anonymous files keeps them
                ++temporary;
                continue;
            }
            const auto it = plan.find(name);
            if (it == plan.end()) {
                ++unknown;
                std::cerr << "unknown: " << name << "\n";
                continue;
            }
            ++named;
            if (holds(entry.path(), mailbox, it->second))
                ++whole;
            else if (++damaged <= 5)
                std::cerr << "damaged: " << name << "\n";
        }
    const std::uint64_t missing = plan.size() - named;
    std::cout << "messages " << plan.size() << ", named " << named << ", whole " << whole << ", damaged " << damaged
              << ", unknown " << unknown << ", temporary " << temporary << ", missing " << missing << "\n";
    return damaged > 0 || unknown > 0 || (all && missing > 0) ? 1 : 0;
}
