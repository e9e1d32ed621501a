#pragma once

#include "formats/format.h"

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace quillonde {

// Every format the program knows, in one table: the file dialogs' filters, the batch tool's help,
// its --format names and default output names, the README's and the manual pages' lists of formats
// are made from it. A new format is a reader or a writer in a file of its own (the build finds it)
// and one line in the table in registry.cpp.

/// The readers, in the order they are offered; the first one reads a file that none recognises.
const std::vector<const CastReader*>& cast_readers();

/// The writers, in the order they are offered; the first one is the default.
const std::vector<const ProfileWriter*>& profile_writers();

/// The reader of a file that begins with `head`: the one that sees the most evidence of its format
/// in it (of two that see as much, the one listed first), or else the first, whose failure then
/// names the formats tried. A UTF-8 byte order mark before `head` is no part of
/// any format: the readers see the head without it.
const CastReader& reader_for(std::string_view head);

/// The writer whose extension `path` has (any case), or nothing.
const ProfileWriter* writer_for_path(std::string_view path);

/// The writer of the given id, or nothing.
const ProfileWriter* writer_with_id(std::string_view id);

/// The writer that `name` names: its id, or the extension of its files with or without the point,
/// in any case ("caris", "svp", ".SVP"); nothing for another name.
const ProfileWriter* writer_named(std::string_view name);

/// The writer of filter `index` of save_filters() (counted from 1), or nothing for "All *.*".
const ProfileWriter* writer_for_filter(int index);

/// The index of `writer`'s filter in save_filters(), counted from 1.
int save_filter_index(const ProfileWriter& writer);

/// `path` named for `writer`: unchanged when it ends in the writer's extension (any case), that
/// extension in place of another writer's, or else added: "cast" and "cast.sva" give "cast.asvp".
std::string with_extension(std::string_view path, const ProfileWriter& writer);

/// A file dialog's filter list ("description|patterns|...") and the filter selected in it, counted
/// from 1.
struct FilterList {
    std::string text;
    int selected = 1;
};

/// The filters to open a cast with: every file, then each reader's; "All casts" when there are
/// several. The first reader's is selected.
FilterList open_filters();

/// open_filters() with "All casts" selected: for a cast of any format, as a reference to compare.
FilterList any_cast_filters();

/// The filters to save a profile with: every file, then each writer's. The first writer's is
/// selected.
FilterList save_filters();

/// While it lives, a format the registry lists after its own: for tests of what is made from the
/// registry.
class AddedFormat {
public:
    explicit AddedFormat(std::unique_ptr<CastReader> reader);
    explicit AddedFormat(std::unique_ptr<ProfileWriter> writer);
    AddedFormat(const AddedFormat&) = delete;
    AddedFormat& operator=(const AddedFormat&) = delete;
    ~AddedFormat();

private:
    std::unique_ptr<CastReader> reader_;
    std::unique_ptr<ProfileWriter> writer_;
};

} // namespace quillonde
