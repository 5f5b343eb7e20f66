#include "platform/IniFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <new>

#include "support/AsciiCase.h"
#include "support/FileWrite.h"
#include "support/Trim.h"

namespace {

// A larger file is not an INI file of ours; refusing it keeps a stray or
// hostile file from eating the memory.
constexpr size_t kMaxFileSize = 64u * 1024u * 1024u;

// A line is cut at its end already: the blanks of a line.
std::string_view Trim(std::string_view s) {
    return qvxsupport::Trim(s, " \t\r\v\f");
}

std::string_view Unquote(std::string_view v) {
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front()) {
        return v.substr(1, v.size() - 2);
    }
    return v;
}

// One physical line of the file: its content without the line end.
struct Line {
    size_t begin;    // offset of the content
    size_t length;   // content length, without CR LF / LF
    size_t lineEnd;  // bytes of the line end (0 for a last line without one)
};

std::vector<Line> SplitLines(std::string_view text) {
    std::vector<Line> lines;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t nl = text.find('\n', pos);
        if (nl == std::string_view::npos) {
            lines.push_back({pos, text.size() - pos, 0});
            break;
        }
        size_t len = nl - pos;
        size_t endBytes = 1;
        if (len > 0 && text[nl - 1] == '\r') {
            --len;
            endBytes = 2;
        }
        lines.push_back({pos, len, endBytes});
        pos = nl + 1;
    }
    return lines;
}

enum class LineKind { kBlank, kComment, kSection, kKey };

struct Classified {
    LineKind kind;
    std::string_view name;   // section or key name (trimmed)
    std::string_view value;  // value (trimmed, unquoted); keys only
};

Classified Classify(std::string_view raw) {
    std::string_view t = Trim(raw);
    if (t.empty()) return {LineKind::kBlank, {}, {}};
    if (t.front() == ';') return {LineKind::kComment, {}, {}};
    if (t.front() == '[') {
        size_t close = t.rfind(']');
        // A '[' line without its bracket is no header and no key: skipped.
        if (close == std::string_view::npos || close == 0) return {LineKind::kComment, {}, {}};
        return {LineKind::kSection, Trim(t.substr(1, close - 1)), {}};
    }
    size_t eq = t.find('=');
    if (eq == std::string_view::npos) return {LineKind::kKey, t, {}};
    return {LineKind::kKey, Trim(t.substr(0, eq)), Unquote(Trim(t.substr(eq + 1)))};
}

bool ReadWholeFile(const std::string& path, std::string& out) {
    out.clear();
    // Non-blocking, so that a FIFO in place of the file cannot hang the reader.
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return false;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) ||
        static_cast<unsigned long long>(st.st_size) > kMaxFileSize) {
        ::close(fd);
        return false;
    }
    try {
        out.reserve(static_cast<size_t>(st.st_size));
        char buf[65536];
        for (;;) {
            ssize_t n = ::read(fd, buf, sizeof buf);
            if (n < 0) {
                if (errno == EINTR) continue;
                ::close(fd);
                out.clear();
                return false;
            }
            if (n == 0) break;
            if (out.size() + static_cast<size_t>(n) > kMaxFileSize) {
                ::close(fd);
                out.clear();
                return false;
            }
            out.append(buf, static_cast<size_t>(n));
        }
    } catch (const std::bad_alloc&) {
        ::close(fd);
        out.clear();
        return false;
    }
    ::close(fd);
    return true;
}

bool HasLineBreak(std::string_view s) {
    return s.find('\n') != std::string_view::npos || s.find('\r') != std::string_view::npos;
}

// The text to store so that reading gives back `value` exactly: a value with
// outer blanks or enclosing quotes of its own is put into double quotes.
std::string StoredValue(std::string_view value) {
    if (Unquote(Trim(value)) == value) return std::string(value);
    std::string q;
    q.reserve(value.size() + 2);
    q += '"';
    q += value;
    q += '"';
    return q;
}

}  // namespace

bool CIniFile::Load(const std::string& path) {
    std::string text;
    if (!ReadWholeFile(path, text)) {
        m_sections.clear();
        return false;
    }
    Parse(text);
    return true;
}

void CIniFile::Parse(std::string_view text) {
    m_sections.clear();
    // Index of the section that takes key lines; -1 before the first header
    // and inside a repeated section (the first of duplicates wins).
    long current = -1;
    for (const Line& line : SplitLines(text)) {
        Classified c = Classify(text.substr(line.begin, line.length));
        if (c.kind == LineKind::kSection) {
            current = -1;
            bool seen = false;
            for (const Section& s : m_sections) {
                if (qvxsupport::EqualsIgnoringCase(s.name, c.name)) {
                    seen = true;
                    break;
                }
            }
            if (!seen) {
                m_sections.push_back({std::string(c.name), {}});
                current = static_cast<long>(m_sections.size()) - 1;
            }
        } else if (c.kind == LineKind::kKey && current >= 0) {
            Section& s = m_sections[static_cast<size_t>(current)];
            bool dup = false;
            for (const auto& e : s.entries) {
                if (qvxsupport::EqualsIgnoringCase(e.first, c.name)) {
                    dup = true;
                    break;
                }
            }
            if (!dup) s.entries.emplace_back(std::string(c.name), std::string(c.value));
        }
    }
}

bool CIniFile::GetValue(std::string_view section, std::string_view key, std::string& value) const {
    value.clear();
    for (const Section& s : m_sections) {
        if (!qvxsupport::EqualsIgnoringCase(s.name, section)) continue;
        for (const auto& e : s.entries) {
            if (qvxsupport::EqualsIgnoringCase(e.first, key)) {
                value = e.second;
                return true;
            }
        }
        return false;
    }
    return false;
}

std::vector<std::string> CIniFile::GetSectionNames() const {
    std::vector<std::string> names;
    names.reserve(m_sections.size());
    for (const Section& s : m_sections) names.push_back(s.name);
    return names;
}

bool CIniFile::HasNonEmptySection(std::string_view section) const {
    for (const Section& s : m_sections) {
        if (qvxsupport::EqualsIgnoringCase(s.name, section)) return !s.entries.empty();
    }
    return false;
}

std::vector<std::pair<std::string, std::string>> CIniFile::GetSection(std::string_view section) const {
    for (const Section& s : m_sections) {
        if (qvxsupport::EqualsIgnoringCase(s.name, section)) return s.entries;
    }
    return {};
}

bool CIniFile::WriteValue(const std::string& path, std::string_view section, std::string_view key,
                          std::string_view value) {
    // Names and values that would break the line structure cannot be stored
    // faithfully; refusing them keeps the file intact.
    std::string_view tSection = Trim(section);
    std::string_view tKey = Trim(key);
    if (tSection.empty() || tKey.empty() || HasLineBreak(section) || HasLineBreak(key) ||
        HasLineBreak(value) || tSection != section || tKey != key ||
        section.find(']') != std::string_view::npos || key.find('=') != std::string_view::npos ||
        key.front() == ';' || key.front() == '[') {
        return false;
    }

    std::string text;
    try {
        if (!ReadWholeFile(path, text)) {
            struct stat st {};
            // A missing file is created; an unreadable existing one is left alone.
            if (::stat(path.c_str(), &st) == 0 || errno != ENOENT) return false;
            text.clear();
        }

        std::vector<Line> lines = SplitLines(text);
        std::string eol = "\n";
        for (const Line& l : lines) {
            if (l.lineEnd == 2) eol = "\r\n";
            if (l.lineEnd != 0) break;
        }
        std::string newLine = std::string(key) + "=" + StoredValue(value);

        // Find the first section of that name, the key within it, and the end
        // of its last non-blank line (where a new key goes).
        bool inTarget = false;
        bool sectionFound = false;
        size_t lastContent = SIZE_MAX;  // index of the last non-blank line of the section
        for (size_t i = 0; i < lines.size(); ++i) {
            Classified c = Classify(std::string_view(text).substr(lines[i].begin, lines[i].length));
            if (c.kind == LineKind::kSection) {
                if (inTarget) break;
                if (!sectionFound && qvxsupport::EqualsIgnoringCase(c.name, section)) {
                    inTarget = true;
                    sectionFound = true;
                    lastContent = i;
                }
                continue;
            }
            if (!inTarget) continue;
            if (c.kind != LineKind::kBlank) lastContent = i;
            if (c.kind == LineKind::kKey && qvxsupport::EqualsIgnoringCase(c.name, key)) {
                // Keep the indent and the key as the file spells them.
                std::string_view raw = std::string_view(text).substr(lines[i].begin, lines[i].length);
                size_t keyPos = raw.find_first_not_of(" \t\r\v\f");
                std::string replaced =
                    std::string(raw.substr(0, keyPos + c.name.size())) + "=" + StoredValue(value);
                std::string out;
                out.reserve(text.size() + replaced.size());
                out.append(text, 0, lines[i].begin);
                out += replaced;
                out.append(text, lines[i].begin + lines[i].length, std::string::npos);
                return qvxsupport::ReplaceFile(path, out);
            }
        }

        std::string out;
        if (sectionFound) {
            const Line& after = lines[lastContent];
            size_t insertAt = after.begin + after.length + after.lineEnd;
            out.reserve(text.size() + newLine.size() + 4);
            out.append(text, 0, insertAt);
            if (after.lineEnd == 0) out += eol;
            out += newLine;
            out += eol;
            out.append(text, insertAt, std::string::npos);
        } else {
            out = text;
            if (!out.empty() && out.back() != '\n') out += eol;
            out += "[";
            out += section;
            out += "]";
            out += eol;
            out += newLine;
            out += eol;
        }
        return qvxsupport::ReplaceFile(path, out);
    } catch (const std::bad_alloc&) {
        return false;
    }
}
