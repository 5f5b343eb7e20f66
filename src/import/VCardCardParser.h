// The parser of one vCard: the lines between BEGIN and END into cells.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "import/VCardMapping.h"
#include "import/VCardProperties.h"
#include "import/VCardValues.h"
#include "support/TextDecoding.h"

namespace qvxvcard {

// Parses the lines of one card (between BEGIN and END) and hands each cell
// to a sink as (header, kind, value).
class CardParser {
public:
    CardParser(VCardWords& words, TextEncoding fileEncoding, char cLineEnd)
        : m_words(words), m_bRepair(fileEncoding == TextEncoding::kWindows1252), m_cLineEnd(cLineEnd) {}

    // Hands the card's cells to the sink. A line that is no property is
    // skipped (SkippedLines), as is a card embedded in the card (2.1's
    // AGENT), whose value is technical in every version.
    template <typename Sink, typename Version>
    void Parse(std::string_view body, Sink&& sink, Version&& version, bool bValues = true) {
        m_bValues = bValues;
        m_skipped.clear();
        m_nSkipped = 0;
        m_nUndecoded = 0;
        m_counts.clear();
        m_countIndex.clear();
        m_labels.clear();
        m_fn.clear();
        m_nameParts = {};
        m_body = body;
        m_bLabelsRead = false;
        Walk(
            body, m_line, [&](Property& p) { Handle(p, sink, version); }, true);
        std::string name = TrimmedText(m_fn);
        if (name.empty()) {
            for (const std::string* part : {&m_nameParts[1], &m_nameParts[2], &m_nameParts[0]}) {
                if (part->empty()) continue;
                if (!name.empty()) name.push_back(' ');
                name += *part;
            }
        }
        if (!name.empty()) sink(m_words.name, VCardColumnKind::kName, name);
    }

    // Of the last card: lines skipped, the first kKeptLines of them (counted
    // from 1 at the body's first line), and values that could not be
    // decoded (an unknown character set, bytes not valid in the declared
    // one, zero bytes).
    static constexpr size_t kKeptLines = 10;
    int SkippedCount() const { return m_nSkipped; }
    const std::vector<uint32_t>& SkippedLines() const { return m_skipped; }
    int UndecodedCount() const { return m_nUndecoded; }

private:
    struct ViewHash {
        using is_transparent = void;
        size_t operator()(std::string_view s) const { return std::hash<std::string_view>()(s); }
    };
    struct Head {
        bool bQuotedPrintable = false;
        bool bBase64 = false;
        bool bUri = false;
        std::string charset;
        bool bHeader = false;
        std::string header;  // for a property without a group
    };

    // Calls f for each property line, unfolded and with quoted-printable
    // soft line breaks joined. Binary values are passed over unread.
    template <typename F>
    void Walk(std::string_view body, std::string& joinedLine, F&& f, bool bCount = false) {
        LineWalker lines(body, m_cLineEnd);
        std::string_view line;
        uint32_t lineNo = 0;
        auto skip = [&](uint32_t at) {
            if (!bCount) return;
            ++m_nSkipped;
            if (m_skipped.size() < kKeptLines) m_skipped.push_back(at);
        };
        while (lines.Next(line)) {
            ++lineNo;
            if (IsMarker(line, "BEGIN:VCARD")) {
                // An embedded card: passed over up to its own end.
                for (int depth = 1; depth > 0 && lines.Next(line);) {
                    ++lineNo;
                    if (IsMarker(line, "BEGIN:VCARD")) ++depth;
                    if (IsMarker(line, "END:VCARD")) --depth;
                }
                continue;
            }
            if (TrimBlanks(line).empty() || IsBlank(line.front())) continue;
            const uint32_t startNo = lineNo;
            size_t n = 0;
            while (n < line.size() && (IsNameChar(line[n]) || line[n] == '.')) ++n;
            const std::string_view head = line.substr(0, n);
            const std::string_view bareName = head.substr(std::min(head.rfind('.') + 1, head.size()));
            const PropInfo* info = FindProp(bareName);
            const bool binary = info != nullptr && info->prop == Prop::kBinary;
            // The encoding is looked up only when a following line may
            // continue this one, which most lines are not.
            const std::string_view params = line.substr(0, line.find(':'));
            int qp = -1;
            int b64 = -1;
            auto isQp = [&] {
                return qp >= 0 ? qp == 1 : (qp = ContainsNoCase(params, "QUOTED-PRINTABLE")) == 1;
            };
            auto isB64 = [&] {
                return b64 >= 0 ? b64 == 1
                                : (b64 = ContainsNoCase(params, "BASE64") ||
                                         ContainsNoCase(params, "ENCODING=B")) == 1;
            };
            std::string_view logical = line;
            bool joined = false;
            std::string_view next;
            while (lines.Peek(next)) {
                const bool fold = !next.empty() && IsBlank(next.front());
                const bool soft = !fold &&
                                  EndsWithSoftBreak(joined ? std::string_view(joinedLine) : logical) &&
                                  isQp() && !IsMarker(next, "END:VCARD");
                const bool b64Line = !fold && !soft && next.find(':') == std::string_view::npos &&
                                     !TrimBlanks(next).empty() && isB64();
                if (!fold && !soft && !b64Line) break;
                lines.Next(next);
                ++lineNo;
                if (binary) continue;
                if (!joined) {
                    joinedLine.assign(logical);
                    joined = true;
                }
                if (soft || (fold && EndsWithSoftBreak(joinedLine) && isQp())) {
                    while (!joinedLine.empty() && IsBlank(joinedLine.back())) joinedLine.pop_back();
                    joinedLine.pop_back();  // the '='
                    if (fold) next = TrimBlanks(next);
                } else if (fold) {
                    next.remove_prefix(1);
                } else {
                    next = TrimBlanks(next);
                }
                joinedLine.append(next);
            }
            if (binary) continue;
            if (joined) logical = joinedLine;
            Property p;
            if (!ParseProperty(logical, p)) {
                skip(startNo);
                continue;
            }
            f(p);
        }
    }

    static bool EndsWithSoftBreak(std::string_view s) {
        while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
        return !s.empty() && s.back() == '=';
    }

    // The value as UTF-8 text with LF line ends, escapes not yet resolved.
    void Decode(const Property& p, std::string& out) {
        bool decoded = true;
        const Charset charset = CharsetOf(p.charset);
        if (p.bQuotedPrintable || p.bBase64) {
            if (p.bQuotedPrintable)
                DecodeQuotedPrintable(p.value, m_bytes);
            else
                DecodeBase64(p.value, m_bytes);
            decoded = BytesToUtf8(m_bytes, charset, p.charset, out);
        } else if (charset != Charset::kAuto && m_bRepair && Windows1252Bytes(p.value, m_bytes)) {
            // The file was read as Windows-1252: its bytes are the value's
            // bytes in the declared set.
            decoded = BytesToUtf8(m_bytes, charset, p.charset, out);
        } else {
            out.assign(p.value);
            if (m_bRepair) RepairMixedUtf8(out);
        }
        if (!DropZeroBytes(out)) decoded = false;
        if (!decoded) ++m_nUndecoded;
        NormalizeLineEnds(out);
    }

    // Whether the analysis must decode a value to learn what the rows will
    // hold: whether it can be decoded at all, whether anything is left.
    static bool NeedsDecoding(const Property& p) {
        return p.bQuotedPrintable || p.bBase64 || !p.charset.empty() ||
               memchr(p.value.data(), '\0', p.value.size()) != nullptr;
    }

    static std::string TrimmedText(std::string_view s) { return std::string(TrimBlanks(s)); }

    // An Apple label: "_$!<Mobile>!$_" names a standard type, anything else
    // is the user's own text.
    std::string AppleLabel(const std::string& raw) {
        std::string_view label = TrimBlanks(raw);
        if (label.size() > 8 && label.substr(0, 4) == "_$!<" && label.substr(label.size() - 4) == ">!$_") {
            label = label.substr(4, label.size() - 8);
            Property types;
            if (EqualsNoCase(label, "HomeFAX") || EqualsNoCase(label, "WorkFAX") ||
                EqualsNoCase(label, "OtherFAX")) {
                types.AddType(label.substr(0, label.size() - 3));
                types.AddType("fax");
            } else {
                types.AddType(label);
            }
            std::string words = TypeLabel(types, true);
            if (!words.empty()) return words;
        }
        std::vector<std::string> parts;  // not m_parts: the value being read may live there
        SplitValue(label, 0, parts);
        return CutLabel(parts.front());
    }

    // The types as header words in a fixed order; unknown words follow as
    // written (without "x-"). Empty when bOnlyKnown and a word is unknown.
    std::string TypeLabel(const Property& p, bool bOnlyKnown = false) {
        std::array<bool, 13> known{};
        std::vector<std::string_view> unknown;
        for (size_t k = 0; k < p.nTypes; ++k) {
            std::string_view t = p.types[k];
            if (InList(t, kSilentTypes)) continue;
            auto hit = std::find_if(std::begin(kTypeWords), std::end(kTypeWords),
                                    [t](const TypeWord& w) { return EqualsNoCase(t, w.code); });
            if (hit != std::end(kTypeWords)) {
                known[static_cast<size_t>(hit->index)] = true;
                continue;
            }
            if (bOnlyKnown) return std::string();
            if (StartsNoCase(t, "x-")) t.remove_prefix(2);
            if (!t.empty() && std::find(unknown.begin(), unknown.end(), t) == unknown.end())
                unknown.push_back(t);
        }
        std::sort(unknown.begin(), unknown.end());
        std::string out;
        for (size_t k = 0; k < known.size(); ++k) {
            if (!known[k]) continue;
            if (!out.empty()) out += ", ";
            out += m_words.types[k];
        }
        for (std::string_view t : unknown) {
            if (!out.empty()) out += ", ";
            out += t;
        }
        return CutLabel(out);
    }

    // The label of a property: its group's X-ABLabel, else its types.
    std::string LabelOf(const Property& p) {
        if (!p.group.empty() && !m_bLabelsRead) {
            // Labels name their group anywhere in the card: read once, on
            // the first grouped property.
            m_bLabelsRead = true;
            std::string value;
            Walk(m_body, m_labelLine, [&](Property& q) {
                if (!q.group.empty() && EqualsNoCase(q.name, "X-ABLABEL")) {
                    ParseParams(q);
                    Decode(q, value);
                    m_labels.emplace(GroupKey(q.group), AppleLabel(value));
                }
            });
        }
        if (!p.group.empty() && !m_labels.empty()) {
            auto hit = m_labels.find(GroupKey(p.group));
            if (hit != m_labels.end() && !hit->second.empty()) return hit->second;
        }
        return TypeLabel(p);
    }

    // Group names are compared ignoring case.
    static std::string GroupKey(std::string_view group) {
        std::string key(group);
        for (char& c : key) c = Upper(c);
        return key;
    }

    // How often `base` was met in this card, this time included. A card
    // holds few properties: a list does, and an index takes over for a
    // card of thousands.
    int CountOf(const std::string& base) {
        if (m_counts.size() < kListedCounts) {
            for (auto& [header, count] : m_counts)
                if (header == base) return ++count;
            m_counts.emplace_back(base, 1);
            if (m_counts.size() == kListedCounts)
                for (const auto& [header, count] : m_counts) m_countIndex.emplace(header, count);
            return 1;
        }
        return ++m_countIndex.try_emplace(base, 0).first->second;
    }

    static std::string WithLabel(const std::string& word, const std::string& label) {
        return label.empty() ? word : word + " (" + label + ")";
    }

    // The header of the n-th value of `base` in this card.
    template <typename Sink>
    void Emit(Sink& sink, const std::string& base, VCardColumnKind kind, std::string_view value) {
        value = TrimBlanks(value);
        if (value.empty()) return;
        const int n = CountOf(base);
        if (n == 1) {
            sink(base, kind, value);
            return;
        }
        if (kind == VCardColumnKind::kCompany) kind = VCardColumnKind::kText;
        sink(base + " (" + std::to_string(n) + ")", kind, value);
    }

    static VCardColumnKind KindOf(Prop prop) {
        switch (prop) {
            case Prop::kTel:
                return VCardColumnKind::kPhone;
            case Prop::kEmail:
                return VCardColumnKind::kEmail;
            case Prop::kAdr:
                return VCardColumnKind::kAddress;
            case Prop::kVersion:
            case Prop::kTechnical:
                return VCardColumnKind::kTechnical;
            default:
                return VCardColumnKind::kText;
        }
    }

    // The header of a property before its number in the card. Those
    // without a group depend only on name and parameters, which repeat from
    // card to card: they are made once.
    const std::string& HeaderOf(const Property& p, Prop prop, const PropInfo* info, Head& head) {
        if (p.group.empty() && head.bHeader) return head.header;
        std::string word;
        switch (prop) {
            case Prop::kTel:
                word = m_words.phone;
                break;
            case Prop::kEmail:
                word = m_words.email;
                break;
            case Prop::kAdr:
                word = m_words.address;
                break;
            case Prop::kLabelled:
            case Prop::kPlain:
                word = m_words.props[static_cast<size_t>(info - kProps)];
                break;
            default:
                // Names are ASCII: cut like labels, so that every header
                // fits the buffers mappings are read through.
                word = CutLabel(p.name);
                for (char& c : word) c = Upper(c);
                break;
        }
        const bool labelled = prop == Prop::kTel || prop == Prop::kEmail || prop == Prop::kAdr ||
                              prop == Prop::kLabelled || !p.group.empty();
        if (labelled && prop != Prop::kPlain) word = WithLabel(word, LabelOf(p));
        if (!p.group.empty()) {
            m_groupHeader = std::move(word);
            return m_groupHeader;
        }
        head.header = std::move(word);
        head.bHeader = true;
        return head.header;
    }

    // What the parameters of a property line say. They depend on the line's
    // head alone, which repeats from card to card: read once per head. The
    // types are read again for a grouped property, whose label may come
    // from them.
    Head& ReadHead(Property& p) {
        auto hit = m_heads.find(p.head);
        if (hit == m_heads.end()) {
            // Heads that differ from card to card (an id in a parameter)
            // would keep one entry per line of the file.
            if (m_heads.size() >= kMaxHeads) m_heads.clear();
            ParseParams(p);
            Head head;
            head.bQuotedPrintable = p.bQuotedPrintable;
            head.bBase64 = p.bBase64;
            head.bUri = p.bUri;
            head.charset.assign(p.charset);
            return m_heads.emplace(std::string(p.head), std::move(head)).first->second;
        }
        Head& head = hit->second;
        if (!p.group.empty()) {
            ParseParams(p);
        } else {
            p.bQuotedPrintable = head.bQuotedPrintable;
            p.bBase64 = head.bBase64;
            p.bUri = head.bUri;
            p.charset = head.charset;
        }
        return head;
    }

    template <typename Sink, typename Version>
    void Handle(Property& p, Sink& sink, Version& version) {
        Head& head = ReadHead(p);
        if (p.bBase64 && !InList(p.name, kTextProps)) return;  // binary, never read
        const PropInfo* info = FindProp(p.name);
        const Prop prop = info ? info->prop
                          : InList(p.name, kTechnicalProps) ||
                                  (StartsNoCase(p.name, "X-") && !InList(p.name, kReadableExtensions))
                              ? Prop::kTechnical
                              : Prop::kOther;
        switch (prop) {
            case Prop::kLabel:
            case Prop::kBinary:
                return;
            case Prop::kFn:
                if (TrimBlanks(m_fn).empty()) {
                    Decode(p, m_value);
                    SplitValue(m_value, 0, m_parts);
                    m_fn = m_parts.front();
                }
                return;
            case Prop::kN: {
                Decode(p, m_value);
                SplitValue(m_value, ';', m_parts);
                m_parts.resize(std::max<size_t>(m_parts.size(), 5));
                static constexpr VCardColumnKind kKinds[5] = {
                    VCardColumnKind::kNamePart, VCardColumnKind::kNamePart, VCardColumnKind::kNamePart,
                    VCardColumnKind::kText, VCardColumnKind::kText};
                const std::string* words[5] = {&m_words.family, &m_words.given, &m_words.additional,
                                               &m_words.prefix, &m_words.suffix};
                const bool first = m_nameParts[0].empty() && m_nameParts[1].empty() && m_nameParts[2].empty();
                for (size_t k = 0; k < 5; ++k) {
                    std::string part = TrimmedText(m_parts[k]);
                    std::replace(part.begin(), part.end(), ',', ' ');
                    if (first && k < 3) m_nameParts[k] = part;
                    Emit(sink, *words[k], kKinds[k], part);
                }
                return;
            }
            case Prop::kOrg: {
                Decode(p, m_value);
                SplitValue(m_value, ';', m_parts);
                Emit(sink, m_words.company, VCardColumnKind::kCompany, m_parts.front());
                std::string rest;
                for (size_t k = 1; k < m_parts.size(); ++k) {
                    std::string_view part = TrimBlanks(m_parts[k]);
                    if (part.empty()) continue;
                    if (!rest.empty()) rest += ", ";
                    rest += part;
                }
                Emit(sink, m_words.department, VCardColumnKind::kText, rest);
                return;
            }
            case Prop::kTel:
            case Prop::kEmail:
            case Prop::kLabelled:
            case Prop::kPlain: {
                const std::string& header = HeaderOf(p, prop, info, head);
                if (!m_bValues && !NeedsDecoding(p)) {
                    // Whether there is a value is all the analysis asks.
                    Emit(sink, header, KindOf(prop), p.value);
                    return;
                }
                Decode(p, m_value);
                SplitValue(m_value, 0, m_parts);
                std::string_view value = TrimBlanks(m_parts.front());
                if (prop == Prop::kTel && StartsNoCase(value, "tel:")) value.remove_prefix(4);
                if (prop == Prop::kEmail && StartsNoCase(value, "mailto:")) value.remove_prefix(7);
                Emit(sink, header, KindOf(prop), value);
                return;
            }
            case Prop::kAdr: {
                const std::string& header = HeaderOf(p, prop, info, head);
                Decode(p, m_value);
                SplitValue(m_value, ';', m_parts);
                Emit(sink, header, VCardColumnKind::kAddress, ReadableAddress());
                return;
            }
            case Prop::kVersion:
                version(TrimBlanks(p.value));
                [[fallthrough]];
            case Prop::kTechnical:
            case Prop::kOther: {
                const std::string& header = HeaderOf(p, prop, info, head);
                if (!m_bValues && !NeedsDecoding(p)) {
                    Emit(sink, header, KindOf(prop), p.value);
                    return;
                }
                Decode(p, m_value);
                SplitValue(m_value, 0, m_parts);
                Emit(sink, header, KindOf(prop), m_parts.front());
                return;
            }
        }
    }

    // Street, extended address, post office box, postal code with town,
    // region, country: one line, parts joined by ", ".
    std::string ReadableAddress() {
        m_parts.resize(std::max<size_t>(m_parts.size(), 7));
        auto part = [this](size_t k) {
            std::string text = TrimmedText(m_parts[k]);
            for (size_t pos; (pos = text.find('\n')) != std::string::npos;) text.replace(pos, 1, ", ");
            return text;
        };
        std::string town = part(5);
        const std::string locality = part(3);
        if (!town.empty() && !locality.empty()) town += ' ';
        town += locality;
        std::string out;
        for (const std::string& piece : {part(2), part(1), part(0), town, part(4), part(6)}) {
            if (piece.empty()) continue;
            if (!out.empty()) out += ", ";
            out += piece;
        }
        return out;
    }

    VCardWords& m_words;
    bool m_bRepair;
    char m_cLineEnd;
    std::unordered_map<std::string, Head, ViewHash, std::equal_to<>> m_heads;
    std::string m_groupHeader;
    bool m_bValues = true;
    std::string m_line;
    std::string m_labelLine;
    std::string_view m_body;
    bool m_bLabelsRead = false;
    std::string m_bytes;
    std::string m_value;
    std::vector<std::string> m_parts;
    static constexpr size_t kListedCounts = 32;
    static constexpr size_t kMaxHeads = 1024;
    std::vector<std::pair<std::string, int>> m_counts;
    std::unordered_map<std::string, int> m_countIndex;
    std::unordered_map<std::string, std::string> m_labels;  // by GroupKey
    std::string m_fn;
    std::array<std::string, 3> m_nameParts;  // family, given, additional
    int m_nSkipped = 0;
    std::vector<uint32_t> m_skipped;
    int m_nUndecoded = 0;
};

}  // namespace qvxvcard
