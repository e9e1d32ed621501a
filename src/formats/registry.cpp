#include "formats/registry.h"

#include "formats/aml.h"
#include "formats/asvp.h"
#include "formats/caris.h"
#include "formats/castaway.h"
#include "formats/csv.h"
#include "formats/hypack.h"
#include "formats/rbr.h"
#include "formats/seabird.h"
#include "formats/sva.h"
#include "formats/tob.h"
#include "formats/unrecognised.h"
#include "formats/valeport.h"
#include "profile/output_file.h"
#include "runtime/error.h"
#include "runtime/text.h"

#include <algorithm>

namespace quillonde {

namespace {

constexpr std::string_view all_files_filter = "All *.*|*.*|";
constexpr std::string_view all_casts_description = "All casts";

std::vector<const CastReader*>& readers()
{
    static const TobReader tob;
    static const Vp2Reader vp2;
    static const ValeportTextReader valeport;
    static const AmlReader aml;
    static const SeabirdReader seabird;
    static const RbrReader rbr;
    static const CastawayReader castaway;
    static const SvaReader sva;
    static const AsvpReader asvp;
    static const CarisReader caris;
    static const HypackReader vel;
    static const CsvReader csv;
    static std::vector<const CastReader*> list{&tob,      &seabird, &vp2,  &valeport, &aml, &rbr,
                                               &castaway, &sva,     &asvp, &caris,    &vel, &csv};
    return list;
}

std::vector<const ProfileWriter*>& writers()
{
    static const SvaWriter sva;
    static const AsvpWriter asvp;
    static const CarisWriter caris;
    static const HypackWriter vel;
    static const CsvWriter csv;
    static std::vector<const ProfileWriter*> list{&sva, &asvp, &caris, &vel, &csv};
    return list;
}

bool equal_ignoring_case(std::string_view a, std::string_view b)
{
    return std::ranges::equal(a, b, [](char x, char y) {
        const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
        return lower(x) == lower(y);
    });
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
