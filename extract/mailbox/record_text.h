#pragma once
// A record's body as the message's own bytes. A record holds the message's text and,
// after it, padding (zeros) up to the next record; its header gives the text's size.
// Where the header is sound (the text fits in the body and all that follows it is
// zeros), the message is the text. Otherwise it is the whole body: nothing of a damaged
// record is ever lost.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace carrowin::extract {

class RecordText {
public:
    // `textSize`: the size the record's header gives; none (a header cut short) makes the
    // whole body the message.
    explicit RecordText(std::optional<std::uint64_t> textSize = std::nullopt)
        : m_textLeft(textSize.value_or(0)), m_whole(!textSize)
    {
    }

    // What of the body's next bytes is surely the message's: `zerosBefore` zeros (held
    // back before, now shown to be the message's after all), then `bytes`.
    struct Passed {
        std::uint64_t zerosBefore = 0;
        std::string_view bytes;
    };
    // Zeros after the text are held back, only counted, until a byte that is not zero
    // shows the header unsound.
    Passed add(std::string_view bytes);
    // The same, each piece of it that is the message's given to `take`, in order.
    template <typename Take>
    void add(std::string_view bytes, Take&& take)
    {
        const Passed passed = add(bytes);
        for (std::uint64_t zeros = passed.zerosBefore; zeros > 0;) {
            const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(zeros, sizeof kZeros));
            take(std::string_view(kZeros, n));
            zeros -= n;
        }
        if (!passed.bytes.empty())
            take(passed.bytes);
    }

    // At the body's end: the padding left out of the message.
    std::uint64_t padding() const { return m_zeros; }

private:
    static constexpr char kZeros[4096]{};

    std::uint64_t m_textLeft; // bytes of the text still to come
    std::uint64_t m_zeros = 0;
    bool m_whole;
};

} // namespace carrowin::extract
