// The seam between the analysed contacts file and its readers: every reader
// keeps the same contract behind the face, and the list of formats alone
// decides which files are taken and how they are read.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TestUtil.h"
#include "import/ContactsFile.h"
#include "import/ContactsFormats.h"
#include "import/DataMap.h"

namespace {

struct Steps {
    int calls = 0;
    int abortAt = 0;  // 0: never
};

int CountStep(void* pContext) {
    auto* steps = static_cast<Steps*>(pContext);
    ++steps->calls;
    return steps->calls == steps->abortAt ? -1 : 0;
}

}  // namespace

TEST(ContactsReaders, EveryFormatKeepsTheContractOfTheFace) {
    struct {
        const char* file;
        const char* text;
        const char* format;
        int lines;
        std::vector<int> unreadable;
        int steps;  // one per data record
        int rows;
    } cases[] = {
        {"a.csv", "Name;Phone\r\nAnna;1\r\nBen;2;x\r\nCara;3\r\n", "csv", 4, {3}, 3, 3},
        {"a.vcf",
         "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Anna\r\nTEL:1\r\nEND:VCARD\r\n"
         "BEGIN:VCARD\r\nFN:Ben\r\nno end\r\n"
         "BEGIN:VCARD\r\nFN:Cara\r\nEND:VCARD\r\n",
         "vcard",
         3,
         {6},
         3,
         2},
    };
    qvxtest::TempDir dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        qvxtest::WriteFile(dir.File(c.file), c.text);
        CContactsFile parser;
        CDataMap table;
        parser.SetCSVFileName(dir.File(c.file).c_str());
        parser.SetTable(&table);
        ASSERT_EQ(parser.AnalyzeCsvData(), 0);
        const CContactsReader* reader = parser.Reader();
        ASSERT_NE(reader, nullptr);
        EXPECT_STREQ(reader->FormatName(), c.format);
        EXPECT_EQ(parser.m_nLineCount, c.lines);
        EXPECT_EQ(parser.m_nColumnCount, reader->GetColumnCount());
        EXPECT_EQ(parser.GetMismatchedLines(), c.unreadable);
        EXPECT_EQ(parser.GetMismatchedCount(), static_cast<int>(c.unreadable.size()));

        Steps header;
        ASSERT_EQ(parser.ParseData(1, CountStep, &header), 0);
        EXPECT_EQ(header.calls, 1);
        // Stopped after the first record, then run again: no row twice.
        Steps stopped{0, 1};
        EXPECT_EQ(parser.ParseData(2, CountStep, &stopped), CSV_ERR_ABORTED);
        EXPECT_EQ(table.GetRowCount(), 1);
        Steps whole;
        ASSERT_EQ(parser.ParseData(2, CountStep, &whole), 0);
        EXPECT_EQ(whole.calls, c.steps);
        EXPECT_EQ(table.GetRowCount(), c.rows);
        // Once the text is given back a run only reports its steps.
        parser.ReleaseLines();
        Steps released;
        ASSERT_EQ(parser.ParseData(2, CountStep, &released), 0);
        EXPECT_EQ(released.calls, c.steps);
        EXPECT_EQ(table.GetRowCount(), c.rows);
    }
}

TEST(ContactsFormats, TheListDecidesWhatIsTakenAndHowItIsRead) {
    for (const char* taken : {"a.csv", "/x/B.TXT", "c.Vcf", "d.e.csv"})
        EXPECT_TRUE(IsContactsFileName(taken)) << taken;
    for (const char* refused : {"a.doc", "csv", "x.csv/data", "a.csv.bak", ""})
        EXPECT_FALSE(IsContactsFileName(refused)) << refused;
    // What the wizard's file dialog offers and its refusal names.
    EXPECT_EQ(ContactsFilePatterns(";"), "*.csv;*.txt;*.vcf");
    EXPECT_EQ(ContactsFileExtensions(", "), ".csv, .txt, .vcf");

    // The content decides the reader, not the name.
    qvxtest::TempDir dir;
    qvxtest::WriteFile(dir.File("cards.csv"), "\xEF\xBB\xBF\r\nBEGIN:VCARD\r\nFN:A\r\nEND:VCARD\r\n");
    qvxtest::WriteFile(dir.File("table.vcf"), "Name;Phone\r\nA;1\r\n");
    EXPECT_STREQ(SniffContactsFormat(dir.File("cards.csv").c_str()).name, "vcard");
    EXPECT_STREQ(SniffContactsFormat(dir.File("table.vcf").c_str()).name, "csv");
    EXPECT_STREQ(SniffContactsFormat(dir.File("missing.vcf").c_str()).name, "csv");
}
