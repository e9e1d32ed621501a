#include "profile/clean_line.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <tmmintrin.h>
#define QUILLONDE_CLEAN_WITH_SSSE3 1
#endif

namespace quillonde {

namespace {

// Runs of up to this many blanks become one blank; a line no longer than that has no longer run.
constexpr std::size_t longest_run_to_one = 11366;

std::size_t shortened_run(std::size_t blanks)
{
    for (std::size_t k = 8; k >= 2; --k) {
        blanks = blanks / k + blanks % k;
    }
    return blanks;
}

/// Any line, CRs and long runs included: every run counted out.
LineFacts clean_exactly(std::string_view raw, std::string& cleaned)
{
    cleaned.clear();
    std::size_t blanks = 0;
    for (const char c : raw) {
        if (c == ' ') {
            ++blanks;
        } else if (c != '\r') {
            if (blanks > 0 && !cleaned.empty()) {
                cleaned.append(shortened_run(blanks), ' ');
            }
            blanks = 0;
            cleaned += c;
        }
    }
    return {static_cast<std::size_t>(std::count(cleaned.begin(), cleaned.end(), ' ')) + 1, true, true};
}

#ifdef QUILLONDE_CLEAN_WITH_SSSE3

// A line without CR and without runs too long for one blank, 16 bytes at a time: compare masks say
// which bytes are blanks, every byte stays but a blank after a blank, and a byte shuffle moves the
// staying bytes of each half together (the classic stream compaction with a table of shuffles).

struct Compaction {
    std::array<std::array<std::uint8_t, 16>, 256> shuffle{}; // for each 8-bit mask of staying bytes
    std::array<std::uint8_t, 256> count{};                   // how many bytes stay
};

constexpr Compaction make_compaction()
{
    Compaction table;
    for (unsigned mask = 0; mask < 256; ++mask) {
        std::uint8_t to = 0;
        for (std::uint8_t from = 0; from < 8; ++from) {
            if ((mask >> from) & 1U) {
                table.shuffle[mask][to++] = from;
            }
        }
        for (std::uint8_t rest = to; rest < 16; ++rest) {
            table.shuffle[mask][rest] = 0x80; // a zero byte
        }
        table.count[mask] = to;
    }
    return table;
}

constexpr Compaction compaction = make_compaction();

__attribute__((target("ssse3"))) LineFacts clean_in_blocks(std::string_view raw, std::string& cleaned)
{
    constexpr std::size_t block = 16;
    const std::size_t size = raw.size();
    cleaned.resize(size + block); // room for a whole block past the end
    char* const begin = cleaned.data();
    char* out = begin;
    const __m128i blank = _mm_set1_epi8(' ');
    const __m128i cr = _mm_set1_epi8('\r');
    const __m128i capital_l = _mm_set1_epi8('L');
    const __m128i semicolon = _mm_set1_epi8(';');
    unsigned blank_before = 1; // as if after a blank: leading blanks go
    unsigned seen_cr = 0;
    unsigned seen_l = 0;
    unsigned seen_semicolon = 0;
    std::size_t separators = 0;
    for (std::size_t offset = 0; offset < size; offset += block) {
        const std::size_t length = std::min(block, size - offset);
        __m128i bytes;
        if (length == block) {
            bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(raw.data() + offset));
        } else {
            alignas(block) char tail[block] = {};
            std::memcpy(tail, raw.data() + offset, length);
            bytes = _mm_load_si128(reinterpret_cast<const __m128i*>(tail));
        }
        const unsigned valid = (1U << length) - 1U;
        const auto blanks = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, blank))) & valid;
        seen_cr |= static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, cr)));
        seen_l |= static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, capital_l)));
        seen_semicolon |= static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, semicolon)));
        const unsigned stay = ~(blanks & ((blanks << 1U) | blank_before)) & valid;
        blank_before = blanks >> 15U;
        const unsigned kept_blanks = stay & blanks;
        separators +=
            std::size_t{compaction.count[kept_blanks & 0xFFU]} + compaction.count[kept_blanks >> 8U];

        const unsigned low = stay & 0xFFU;
        const unsigned high = stay >> 8U;
        const __m128i low_shuffle =
            _mm_loadu_si128(reinterpret_cast<const __m128i*>(compaction.shuffle[low].data()));
        const __m128i high_shuffle =
            _mm_loadu_si128(reinterpret_cast<const __m128i*>(compaction.shuffle[high].data()));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_shuffle_epi8(bytes, low_shuffle));
        out += compaction.count[low];
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out),
                         _mm_shuffle_epi8(_mm_srli_si128(bytes, 8), high_shuffle));
        out += compaction.count[high];
    }
    if (seen_cr != 0) {
        return clean_exactly(raw, cleaned);
    }
    if (out != begin && out[-1] == ' ') {
        --out; // the one blank left of a trailing run
        --separators;
    }
    cleaned.resize(static_cast<std::size_t>(out - begin));
    return {separators + 1, seen_l != 0, seen_semicolon != 0};
}

bool has_ssse3()
{
    static const bool supported = __builtin_cpu_supports("ssse3") != 0;
    return supported;
}

#endif

} // namespace

std::size_t field_offset(std::string_view line, std::size_t k) noexcept
{
    std::size_t begin = 0;
    for (std::size_t i = 0; i < k && begin <= line.size(); ++i) {
        const std::size_t blank = line.find(' ', begin);
        begin = blank == std::string_view::npos ? line.size() + 1 : blank + 1;
    }
    return begin;
}

std::string_view first_fields(std::string_view line, std::size_t count) noexcept
{
    if (count == 0) {
        return {};
    }
    const std::size_t end = field_offset(line, count);
    return end > line.size() ? line : line.substr(0, end - 1);
}

std::string_view field_of(std::string_view line, std::size_t k) noexcept
{
    const std::size_t begin = field_offset(line, k);
    return begin > line.size() ? std::string_view() : line.substr(begin, line.find(' ', begin) - begin);
}

std::size_t blanks_in(std::string_view text) noexcept
{
    std::size_t blanks = 0;
    std::size_t at = 0;
#ifdef __SSE2__
    // Sixteen bytes at a time: each blank subtracts one (0xFF) from its byte's count, and the counts
    // are summed before any of them can pass 255.
    constexpr std::size_t block = 16;
    constexpr std::size_t blocks_per_sum = 255;
    const __m128i blank = _mm_set1_epi8(' ');
    while (at + block <= text.size()) {
        __m128i counts = _mm_setzero_si128();
        for (std::size_t n = 0; n < blocks_per_sum && at + block <= text.size(); ++n, at += block) {
            const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text.data() + at));
            counts = _mm_sub_epi8(counts, _mm_cmpeq_epi8(bytes, blank));
        }
        const __m128i sums = _mm_sad_epu8(counts, _mm_setzero_si128());
        blanks += static_cast<std::size_t>(_mm_cvtsi128_si32(sums)) +
                  static_cast<std::size_t>(_mm_extract_epi16(sums, 4));
    }
#else
    constexpr std::uint64_t ones = 0x0101010101010101U;
    constexpr std::uint64_t low7 = 0x7F7F7F7F7F7F7F7FU;
    for (; at + sizeof(std::uint64_t) <= text.size(); at += sizeof(std::uint64_t)) {
        std::uint64_t word = 0;
        std::memcpy(&word, text.data() + at, sizeof word);
        word ^= ones * ' '; // a blank becomes a zero byte
        // The high bit of each byte that is not zero.
        const std::uint64_t nonzero = (((word & low7) + low7) | word) & ~low7;
        blanks += sizeof(std::uint64_t) - static_cast<std::size_t>(((nonzero >> 7U) * ones) >> 56U);
    }
#endif
    for (; at < text.size(); ++at) {
        blanks += text[at] == ' ' ? 1U : 0U;
    }
    return blanks;
}

LineFacts clean_line(std::string_view raw, std::string& cleaned)
{
#ifdef QUILLONDE_CLEAN_WITH_SSSE3
    if (raw.size() <= longest_run_to_one && has_ssse3()) {
        return clean_in_blocks(raw, cleaned);
    }
#endif
    return clean_exactly(raw, cleaned);
}

} // namespace quillonde
