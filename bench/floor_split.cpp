// The floor for the benchmark: splits a mailbox at its markers and writes each body to
// a numbered file, with no naming at all. With --sync, one syncfs of the output's file
// system at the end: the least that puts every file on the disk.
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

int main(int argc, char** argv)
{
    const bool sync = argc == 4 && std::strcmp(argv[1], "--sync") == 0;
    if (sync) {
        ++argv;
        --argc;
    }
    if (argc != 3) {
        std::fprintf(stderr, "usage: floor-split [--sync] MAILBOX OUTDIR\n");
        return 2;
    }
    const int fd = ::open(argv[1], O_RDONLY);
    struct stat st{};
    if (fd < 0 || ::fstat(fd, &st) != 0)
        return 1;
    const auto size = static_cast<std::size_t>(st.st_size);
    const char* data = static_cast<const char*>(::mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0));
    const char marker[4] = {0, 0x7F, 0, 0x7F};
    const auto find = [&](std::size_t from) -> std::size_t {
        const void* hit = from < size ? ::memmem(data + from, size - from, marker, 4) : nullptr;
        return hit ? static_cast<std::size_t>(static_cast<const char*>(hit) - data) : size;
    };
    const std::string dir = std::string(argv[2]) + "/";
    std::size_t n = 0;
    for (std::size_t p = find(0); p < size;) {
        const std::size_t begin = std::min(p + 16, size);
        const std::size_t q = find(begin);
        const int out = ::open((dir + std::to_string(++n)).c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
        if (out < 0 || ::write(out, data + begin, q - begin) != static_cast<ssize_t>(q - begin))
            return 1;
        ::close(out);
        p = q;
    }
    if (sync) {
        const int folder = ::open(argv[2], O_RDONLY | O_DIRECTORY);
        if (folder < 0 || ::syncfs(folder) != 0)
            return 1;
        ::close(folder);
    }
    std::printf("%zu\n", n);
    return 0;
}
