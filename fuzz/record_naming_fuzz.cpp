// Feeds arbitrary bytes through the record scan and the naming of every record, in both
// modes, checking what must always hold: the scan moves forward and stays inside the
// image, and every name is valid UTF-8, within the length limit and free of separators.
#include "output_naming.h"
#include "record_scan.h"
#include "text.h"

#include <cstdint>
#include <cstdlib>
#include <set>
#include <string_view>

using namespace carrowin::extract;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view image(reinterpret_cast<const char*>(data), size);
    std::set<std::string> taken;
    NumberingMemo memo;
    const TakenTest test = [&](const std::string& name) { return !taken.insert(name).second; };
    NamingSettings subject{true, true, "", "/out/"};
    NamingSettings prefix{false, false, std::string(image.substr(0, 12)), "/out/"};
    if (!settingsRefusal(prefix).empty()) // the run refuses these before naming anything
        prefix.workingName = "File";
    std::uint64_t from = 0;
    while (const auto r = nextRecord(image, from)) {
        if (r->bodyEnd < r->bodyBegin || r->bodyEnd > size || (from != 0 && r->bodyEnd <= from))
            std::abort();
        for (NamingSettings* s : {&subject, &prefix}) {
            const ChosenName c = nameRecord(bodyOf(image, *r), *s, test, memo, 255);
            if (c.fileName.size() > 255 || c.fileName.find('/') != std::string::npos
                || (s->bySubject && !isValidUtf8(c.fileName)))
                std::abort();
            s->workingName = c.baseName;
        }
        from = r->bodyEnd;
    }
    return 0;
}
