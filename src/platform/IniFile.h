// A small INI module with the behaviour of the Windows private-profile
// functions, used for language.ini, registry.ini and phone.ini:
// - section and key names compare ignoring ASCII case;
// - blanks around the key, the '=' and the value are trimmed;
// - a value enclosed in matching double or single quotes loses them;
// - lines beginning with ';' are comments;
// - the first of duplicate sections and of duplicate keys wins;
// - section names are listed in file order;
// - CR LF and LF line ends are both read.
// Writing a value changes only that key's line (adding the key, or the
// section, when missing), keeps every other byte of the file, and replaces
// the file atomically (temporary file, then rename).
//
// Settled details:
// - blanks are space, tab, CR, VT and FF; a trailing CR belongs to the line end;
// - key lines before the first section header belong to no section;
// - a line of a key without '=' counts as a key with an empty value;
// - a line starting with '[' but without a closing ']' is ignored; the name
//   of a header runs to its last ']';
// - a file over 64 MiB is not read (Load fails);
// - WriteValue keeps the indent and spelling of an existing key, puts a new
//   key after the last non-blank line of the first section of that name and
//   a new section at the end, uses the file's first line end (LF when it has
//   none), creates a missing file with mode 0644 (whatever the umask, as every
//   file the program makes), keeps the file mode and follows a symbolic
//   link. A value with outer blanks or enclosing quotes of its own is written
//   in double quotes, so that it reads back unchanged. Names and values that
//   cannot be stored faithfully (line breaks, an empty or blank-padded name,
//   '=' or a leading ';' or '[' in a key, ']' in a section) are refused.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

class CIniFile {
public:
    // Reads and parses the file; false (and an empty document) when it cannot be read.
    bool Load(const std::string& path);
    // Parses text already in memory; never fails.
    void Parse(std::string_view text);

    // The value of `key` in `section`; false when the section or key is missing.
    bool GetValue(std::string_view section, std::string_view key, std::string& value) const;
    // Section names in file order, duplicates listed once (the first).
    std::vector<std::string> GetSectionNames() const;
    // Whether the section exists and holds at least one key line.
    bool HasNonEmptySection(std::string_view section) const;
    // The key/value pairs of a section in file order (first of duplicates only).
    std::vector<std::pair<std::string, std::string>> GetSection(std::string_view section) const;

    // Sets `key` in `section` of the file at `path` as described above; false
    // when the file could not be written (the old file is then untouched).
    static bool WriteValue(const std::string& path, std::string_view section, std::string_view key,
                           std::string_view value);

private:
    struct Section {
        std::string name;
        std::vector<std::pair<std::string, std::string>> entries;
    };
    std::vector<Section> m_sections;
};
