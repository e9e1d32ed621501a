#include "formats/unrecognised.h"

#include "runtime/error.h"

#include <algorithm>
#include <memory>
#include <string>

namespace quillonde {

namespace {

constexpr std::string_view tried_words = "; the formats tried: ";
constexpr std::string_view not_text_words = " is not a text file, so it holds no cast";
// A head with more control bytes than this share (NUL, ESC ...; not TAB, CR, LF, FF) is no text.
constexpr std::size_t control_share = 20;

std::string formats_tried(const std::vector<const CastReader*>& tried)
{
    std::string list(tried_words);
    for (std::size_t k = 0; k < tried.size(); ++k) {
        list.append(k == 0 ? "" : ", ").append(tried[k]->facts().filter);
    }
    return list;
}

bool looks_like_text(std::string_view head)
{
    const auto controls = std::ranges::count_if(head, [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte == 0 || (byte < 0x20 && c != '\t' && c != '\r' && c != '\n' && c != '\f');
    });
    return head.find('\0') == std::string_view::npos &&
           static_cast<std::size_t>(controls) * control_share <= head.size();
}

/// The first reader's parser, whose failures name the formats tried.
class UnrecognisedParser : public CastParser {
public:
    UnrecognisedParser(std::unique_ptr<CastParser> fallback, std::string_view path, bool text,
                       const std::vector<const CastReader*>& tried)
        : fallback_(std::move(fallback)), path_(path), text_(text), tried_(tried)
    {
    }

    void line(std::string_view raw) override
    {
        if (!text_) {
            throw Error(ErrorKind::bad_data_file,
                        quoted_path(path_) + std::string(not_text_words) + formats_tried(tried_));
        }
        fallback_->line(raw);
    }

    void finish() override
    {
        try {
            fallback_->finish();
        } catch (const Error& error) {
            throw Error(error.kind(), error.detail() + formats_tried(tried_), error.where());
        }
    }

private:
    std::unique_ptr<CastParser> fallback_;
    std::string path_;
    bool text_;
    const std::vector<const CastReader*>& tried_;
};

class UnrecognisedReader : public CastReader {
public:
    UnrecognisedReader(bool text, const std::vector<const CastReader*>& tried) : text_(text), tried_(tried) {}

    const FormatFacts& facts() const override { return tried_.front()->facts(); }
    Evidence recognises(std::string_view /*head*/) const override { return Evidence::none; }
    ReaderRules rules() const override { return tried_.front()->rules(); }
    std::unique_ptr<CastParser> parser(CastSink& sink, std::string_view path) const override
    {
        return std::make_unique<UnrecognisedParser>(tried_.front()->parser(sink, path), path, text_, tried_);
    }

private:
    bool text_;
    const std::vector<const CastReader*>& tried_;
};

} // namespace

const CastReader& unrecognised_reader(std::string_view head, const std::vector<const CastReader*>& tried)
{
    static const UnrecognisedReader text(true, tried);
    static const UnrecognisedReader binary(false, tried);
    return looks_like_text(head) ? text : binary;
}

} // namespace quillonde
