// The order in which a mapping joins its name columns into one name, and
// the part of the name each of them holds.
//
// A mapping file keeps it on a line of its own after "Description:", so
// that the five lines stay as they were and a reader that knows only those
// ignores it:
//     Name order:3=given,4=middle,2=family
// the name entries in join order, each as its number among the entries of
// the header and code lines (from 1), "=" and its part (prefix, given,
// middle, family, suffix, whole; "=part" may be left out). Name columns
// the line does not list are joined after the listed ones, in column
// order; without the line all are joined in column order.
#pragma once

#include <string>
#include <string_view>
#include <vector>

// The part of a person's name a column holds.
enum class NameKind : unsigned char { kNone, kGiven, kMiddle, kFamily, kPrefix, kSuffix, kWhole };

struct NameOrderItem {
    int nColumn = -1;  // a column of the table (or an entry of a mapping file, from 0)
    NameKind part = NameKind::kNone;
};
// Name columns in join order; empty for column order.
using NameOrder = std::vector<NameOrderItem>;

inline constexpr char kNameOrderKey[] = "Name order:";

// "given", "family" ...; null for kNone.
const char* NamePartText(NameKind part);
// The part a word names; kNone for an unknown word.
NameKind NamePartFromText(std::string_view text);

// The line after its key: each item's column + 1, with its part.
std::string NameOrderText(const NameOrder& order);
// The items of such a text (after the key), in its order; items that are
// not a number from 1, or that repeat an entry, are left out.
NameOrder ParseNameOrderText(std::string_view text);

// The columns of `parts` (column, part; in column order) in the order people
// write a name: prefix, given, middle, family, suffix; a whole name or a
// column without a part keeps its place after them. Empty when no column
// has a part that orders it (prefix ... suffix): column order then.
NameOrder OrderByParts(const std::vector<NameOrderItem>& parts);

// The order a name is joined in: the stored items that name one of
// `nameColumns` (each once, in stored order), then the other name columns
// in column order without a part. The rules and the editor both use it.
NameOrder JoinedNameOrder(const NameOrder& stored, const std::vector<int>& nameColumns);
