// The nearest mapping of a file that no mapping fits, and a new mapping for
// the file made from it: a good start for the user, never used by itself.
//
// Nearest, measured by column header as mappings are applied: a mapping is
// near when every column it marks as name ("N") is in the file, and it gives
// a code to at least 80 % of the file's columns (a header that occurs twice
// is known twice only where the mapping has two entries of it). Of the near
// mappings the one that knows the most columns is nearest; on a tie the one
// with fewer entries the file lacks, then the first in list order.
#pragma once

#include <string>
#include <vector>

#include "import/HeaderGuess.h"

class CDataMap;

struct NearestMapping {
    int nIndex = -1;  // in the list searched; -1 when no mapping is near
    std::string path;
    std::string name;  // as stored in the file
    int nKnown = 0;    // columns of the file the mapping gives a code
    int nColumns = 0;
    // Headers of the columns the mapping does not know, in file order.
    std::vector<std::string> unknownHeaders;
};

// Known columns of nColumns that make a mapping near.
bool IsNearCoverage(int nKnown, int nColumns);

// Searches the mapping files for the nearest one to the analysed table;
// the table stays as it is.
NearestMapping FindNearestMapping(CDataMap& table, const std::vector<std::string>& paths);

// What a new mapping of a file starts from.
struct NewMappingStart {
    // The start file's codes were taken; false when there was none or it
    // could not be applied (gone or broken since it was found).
    bool bFromFile = false;
    // Where each column's code comes from, with its name part; empty when
    // the table has no columns.
    std::vector<StartColumn> columns;
};

// Gives the table the mapping a new mapping of its file starts from, as the
// mapping editor shows it and "qvxbuild map" writes it: the codes of the
// mapping file at `startPath` (the nearest mapping; none when empty), then
// a guessed code or "X" for every column it does not know (CompleteCodes);
// guesses alone when the file cannot be applied. Its name order is the
// start file's, with the guessed name columns after it, else the order of
// the name parts (given, middle, family). `name` becomes its name, the
// description is emptied.
NewMappingStart StartNewMapping(CDataMap& table, const std::string& startPath, const std::string& name);

// A file name for a mapping of this name ("Google Contacts (mine)" ->
// "Google-Contacts-mine.map"), made unique with "-2", "-3" ... among the
// files of all `folders`, ignoring case: a user's file of a shipped mapping's
// name would take that mapping's place in the list. "mapping.map" for a name
// without letters or digits.
std::string ProposeMappingFileName(const std::string& name, const std::vector<std::string>& folders);
