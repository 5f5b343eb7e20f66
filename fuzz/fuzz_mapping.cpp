// Feeds arbitrary bytes as a mapping file: applied to an analysed CSV file,
// read for its name and description, and written back out.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "FuzzFiles.h"
#include "import/ContactsFile.h"
#include "import/DataMap.h"
#include "import/Mapping.h"
#include "import/MappingChoice.h"

using qvxfuzz::TempPath;
using qvxfuzz::WriteBytes;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string csvPath = TempPath(".csv");
    static const std::string mapPath = TempPath(".map");
    static const std::string outPath = TempPath("-out.map");
    static bool csvWritten = false;
    if (!csvWritten) {
        static const char kCsv[] = "Name;Firma;Telefon;\"Mo\"\"bil\"\r\nA;B;1;2\r\n";
        csvWritten = WriteBytes(csvPath, kCsv, sizeof kCsv - 1);
    }
    if (!WriteBytes(mapPath, data, size)) return 0;

    CContactsFile parser;
    CDataMap table;
    parser.SetCSVFileName(csvPath.c_str());
    parser.SetTable(&table);
    if (parser.AnalyzeCsvData() != 0 || parser.ParseData(1) != 0) return 0;
    // Tried on a copy of the header, as the choice of a fitting mapping does.
    const bool bFits = MappingFileFits(table, mapPath);
    parser.SetMappingFileName(mapPath.c_str());
    if (parser.ParseAdditionalInformation() == 0) {
        if (bFits != MappingFitsTable(table, parser.GetMatchedColumnCount())) __builtin_trap();
        if (parser.GetMatchedColumnCount() < 0) __builtin_trap();
        FirstBrokenMappingRule(CountMappingCodes(table));
        WriteMappingFile(outPath.c_str(), table, "n", "d");
    }
    char name[97];
    char description[257];
    parser.ReadMappingInfo(mapPath.c_str(), name, sizeof name, description, sizeof description);
    return 0;
}
