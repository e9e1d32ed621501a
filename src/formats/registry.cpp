#include "formats/registry.h"

#include "every_format.h" // made by the build: every header of src/formats
#include "formats/probe_text.h"
#include "profile/output_file.h"
#include "runtime/error.h"
#include "runtime/text.h"

#include <algorithm>

namespace quillonde {

namespace {

constexpr std::string_view all_files_filter = "All *.*|*.*|";
constexpr std::string_view all_casts_description = "All casts";

/// One line of the table: a format's reader, its writer, or both.
struct Format {
    const CastReader* reader = nullptr;
    const ProfileWriter* writer = nullptr;
};

template <class Reader> const CastReader* reads()
{
    static const Reader reader;
    return &reader;
}

template <class Writer> const ProfileWriter* writes()
{
    static const Writer writer;
    return &writer;
}

// Every format the program knows, one a line: the reader or writer its own file defines. The readers
// are offered and asked to recognise a file in this order, the writers offered in it; the load
// dialog opens on the first reader's filter, the export's on the first writer's, which is also the
// batch tool's default.
const std::vector<Format>& table()
{
    static const std::vector<Format> formats{
        {reads<TobReader>()},
        {reads<SeabirdReader>()},
        {reads<Vp2Reader>()},
        {reads<ValeportTextReader>()},
        {reads<AmlReader>()},
        {reads<RbrReader>()},
        {reads<CastawayReader>()},
        {reads<SvaReader>(), writes<SvaWriter>()},
        {reads<AsvpReader>(), writes<AsvpWriter>()},
        {reads<CarisReader>(), writes<CarisWriter>()},
        {reads<HypackReader>(), writes<HypackWriter>()},
        {reads<CsvReader>(), writes<CsvWriter>()},
    };
    return formats;
}

/// The table's readers or writers, in its order.
template <class Part> std::vector<const Part*> listed(const Part* Format::*part)
{
    std::vector<const Part*> found;
    for (const Format& format : table()) {
        if (format.*part != nullptr) {
            found.push_back(format.*part);
        }
    }
    return found;
}

// AddedFormat appends to these lists.
std::vector<const CastReader*>& readers()
{
    static std::vector<const CastReader*> list = listed(&Format::reader);
    return list;
}

std::vector<const ProfileWriter*>& writers()
{
    static std::vector<const ProfileWriter*> list = listed(&Format::writer);
    return list;
}

void add_filter(std::string& list, std::string_view description, std::string_view patterns)
{
    list.append(description).append("|").append(patterns).append("|");
}

} // namespace

std::string_view default_extension(const FormatFacts& facts)
{
    const std::string_view first = facts.patterns.substr(0, facts.patterns.find(' '));
    return first.substr(std::min(first.find('.'), first.size()));
}

void ProfileWriter::write_added(const Profile& /*profile*/, const CastInfo& /*cast*/,
                                std::string_view /*existing*/, OutputFile& file) const
{
    throw Error(ErrorKind::bad_data_file, "a " + std::string(facts().filter) + " file holds a single cast; " +
                                              quoted_path(file.path()) + " cannot take another one");
}

const std::vector<const CastReader*>& cast_readers()
{
    return readers();
}

const std::vector<const ProfileWriter*>& profile_writers()
{
    return writers();
}

const CastReader& reader_for(std::string_view head)
{
    head = without_byte_order_mark(head);
    const CastReader* best = nullptr;
    Evidence most = Evidence::none;
    for (const CastReader* reader : readers()) {
        if (const Evidence seen = reader->recognises(head); seen > most) {
            best = reader;
            most = seen;
        }
    }
    return best != nullptr ? *best : unrecognised_reader(head, readers());
}

const ProfileWriter* writer_for_path(std::string_view path)
{
    const std::string_view name = path.substr(std::min(path.find_last_of('/') + 1, path.size()));
    for (const ProfileWriter* writer : writers()) {
        const std::string_view extension = default_extension(writer->facts());
        if (name.size() > extension.size() &&
            equal_ignoring_case(name.substr(name.size() - extension.size()), extension)) {
            return writer;
        }
    }
    return nullptr;
}

const ProfileWriter* writer_with_id(std::string_view id)
{
    const auto found =
        std::ranges::find(writers(), id, [](const ProfileWriter* writer) { return writer->facts().id; });
    return found == writers().end() ? nullptr : *found;
}

const ProfileWriter* writer_named(std::string_view name)
{
    if (const ProfileWriter* writer = writer_with_id(name)) {
        return writer;
    }
    const std::string_view bare = name.starts_with('.') ? name.substr(1) : name;
    const auto found = std::ranges::find_if(writers(), [&](const ProfileWriter* writer) {
        const std::string_view extension = default_extension(writer->facts());
        return !bare.empty() &&
               equal_ignoring_case(extension.substr(extension.starts_with('.') ? 1 : 0), bare);
    });
    return found == writers().end() ? nullptr : *found;
}

const ProfileWriter* writer_for_filter(int index)
{
    // save_filters(): "All *.*" first, then the writers.
    const auto at = static_cast<std::size_t>(index - 2);
    return index >= 2 && at < writers().size() ? writers()[at] : nullptr;
}

int save_filter_index(const ProfileWriter& writer)
{
    return static_cast<int>(std::ranges::find(writers(), &writer) - writers().begin()) + 2;
}

std::string with_extension(std::string_view path, const ProfileWriter& writer)
{
    const ProfileWriter* named = writer_for_path(path);
    if (named == &writer) {
        return std::string(path);
    }
    if (named != nullptr) {
        path.remove_suffix(default_extension(named->facts()).size());
    }
    return std::string(path) + std::string(default_extension(writer.facts()));
}

FilterList open_filters()
{
    FilterList filters{std::string(all_files_filter), 2};
    std::string all_patterns;
    for (const CastReader* reader : readers()) {
        add_filter(filters.text, reader->facts().filter, reader->facts().patterns);
        all_patterns.append(all_patterns.empty() ? "" : " ").append(reader->facts().patterns);
    }
    if (readers().size() > 1) {
        add_filter(filters.text, all_casts_description, all_patterns);
    }
    return filters;
}

FilterList any_cast_filters()
{
    FilterList filters = open_filters();
    if (readers().size() > 1) {
        filters.selected = static_cast<int>(readers().size()) + 2; // after "All *.*" and each reader's
    }
    return filters;
}

FilterList save_filters()
{
    FilterList filters{std::string(all_files_filter), 2};
    for (const ProfileWriter* writer : writers()) {
        add_filter(filters.text, writer->facts().filter, writer->facts().patterns);
    }
    return filters;
}

AddedFormat::AddedFormat(std::unique_ptr<CastReader> reader) : reader_(std::move(reader))
{
    readers().push_back(reader_.get());
}

AddedFormat::AddedFormat(std::unique_ptr<ProfileWriter> writer) : writer_(std::move(writer))
{
    writers().push_back(writer_.get());
}

AddedFormat::~AddedFormat()
{
    std::erase(readers(), reader_.get());
    std::erase(writers(), writer_.get());
}

} // namespace quillonde
