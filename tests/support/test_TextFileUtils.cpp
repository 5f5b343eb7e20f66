#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <random>
#include <string>
#include <vector>

#include "LogSandbox.h"
#include "support/FileAccess.h"
#include "support/StringMapTable.h"
#include "support/TextFileUtils.h"

using namespace qvxsupport;
using qvxtest::LogSandbox;
using qvxtest::MakeLogConfig;

namespace {

using Lines = std::vector<std::pair<int, std::string>>;

constexpr size_t kChunk = 1 << 20;

Lines Walk(CStringMapTable& table) {
    Lines out;
    table.Rewind();
    int key = 0;
    while (CGuardedString* entry = table.NextEntry(&key)) {
        out.emplace_back(key, std::string(entry->GetText(), static_cast<size_t>(entry->GetLength())));
    }
    return out;
}

Lines Numbered(const std::vector<std::string>& texts, int first = 0) {
    Lines out;
    for (const std::string& t : texts) out.emplace_back(first++, t);
    return out;
}

// The lines as the splitting promises them, found the plain way.
Lines ReferenceSplit(const std::string& data, const std::string& sep) {
    std::vector<std::string> texts;
    size_t start = 0;
    for (;;) {
        size_t hit = data.find(sep, start);
        size_t end = hit == std::string::npos ? data.size() : hit;
        if (end > start) texts.push_back(std::string(data.c_str() + start));  // up to a zero byte
        if (end > start) texts.back().resize(std::min(texts.back().size(), end - start));
        if (hit == std::string::npos) break;
        start = hit + sep.size();
    }
    return Numbered(texts);
}

std::string Bytes(const char* p, size_t n) {
    return std::string(p, n);
}

class TextFileTest : public ::testing::Test {
protected:
    LogSandbox m_log{MakeLogConfig("QVXWizard.l_0", 0)};

    std::string Write(const std::string& bytes, const std::string& name = "input.csv") {
        std::string path = m_log.Path(name);
        qvxtest::WriteFile(path, bytes);
        return path;
    }
    std::vector<std::string> Warnings(const char* tag) const {
        return qvxtest::WarningTexts(m_log.Read(), tag);
    }
};

struct SplitCase {
    const char* name;
    std::string bytes;
    bool crlf;
    std::vector<std::string> lines;
};

}  // namespace

TEST_F(TextFileTest, SplitFileLinesCases) {
    const std::string a2047(2047, 'a');
    const std::string aChunk(kChunk - 1, 'a');
    const SplitCase cases[] = {
        {"empty line skipped", "a\r\n\r\nb", true, {"a", "b"}},
        {"separator at end", "a\r\nb\r\n", true, {"a", "b"}},
        {"lone LF stays inside", "a\nb", true, {"a\nb"}},
        {"lone CR stays inside", "a\rb\r\nc\r", true, {"a\rb", "c\r"}},
        {"empty file", "", true, {}},
        {"only CR LF", "\r\n\r\n\r\n", true, {}},
        {"only LF", "\n\n\n", false, {}},
        {"LF lines", "a\nb\n", false, {"a", "b"}},
        {"LF keeps the CR", "a\r\nb", false, {"a\r", "b"}},
        {"CR CR LF", "a\r\r\nb", true, {"a\r", "b"}},
        {"LF CR LF", "a\n\r\nb", true, {"a\n", "b"}},
        {"zero byte ends the text", Bytes("ab\0cd\r\nef", 9), true, {"ab", "ef"}},
        {"zero byte first", Bytes("\0abc\r\nx", 7), true, {"", "x"}},
        {"zero block hides nothing",
         "x\r\n" + std::string(3000, '\0') + "\r\ny\r\nz",
         true,
         {"x", "", "y", "z"}},
        {"zero bytes with LF", Bytes("a\0\nb\0\n\0", 7), false, {"a", "b", ""}},
        {"CR LF across offset 2048", a2047 + "\r\nb", true, {a2047, "b"}},
        {"CR LF across the read chunk", aChunk + "\r\nb", true, {aChunk, "b"}},
        {"CR ends a chunk without LF", aChunk + "\rx\r\ny", true, {aChunk + "\rx", "y"}},
        {"LF at the chunk's first byte", aChunk + "\n\r\nb", true, {aChunk + "\n", "b"}},
        {"LF across the read chunk",
         std::string(kChunk, 'c') + "\nd",
         false,
         {std::string(kChunk, 'c'), "d"}},
    };
    for (const SplitCase& c : cases) {
        SCOPED_TRACE(c.name);
        std::string path = Write(c.bytes);
        CStringMapTable table;
        EXPECT_EQ(SplitFileLines(path.c_str(), table, c.crlf), 0);
        EXPECT_EQ(Walk(table), Numbered(c.lines));
    }
    EXPECT_TRUE(m_log.Read().find("WARNING") == std::string::npos);
}

TEST_F(TextFileTest, SplitMatchesThePlainSplitOnRandomText) {
    std::mt19937 random(20261207);
    const char alphabet[] = {'a', 'b', ';', '"', '\r', '\n', '\0', 'x'};
    for (int round = 0; round < 6; ++round) {
        SCOPED_TRACE(round);
        size_t size = kChunk * 2 + random() % 5000;
        std::string data(size, 'a');
        // Mostly text, with runs of line ends and zero bytes in between.
        for (char& ch : data) ch = random() % 16 == 0 ? alphabet[random() % 8] : 'a' + random() % 26;
        std::string path = Write(data);
        for (bool crlf : {true, false}) {
            CStringMapTable table;
            ASSERT_EQ(SplitFileLines(path.c_str(), table, crlf), 0);
            ASSERT_EQ(Walk(table), ReferenceSplit(data, crlf ? "\r\n" : "\n"));
        }
    }
}

TEST_F(TextFileTest, SplitAppendsAfterTheEntriesAlreadyThere) {
    std::string path = Write("x\r\ny");
    CStringMapTable table;
    table.AddEntry(0, "kept");
    table.AddEntry(1, "kept too");
    EXPECT_EQ(SplitFileLines(path.c_str(), table, true), 0);
    EXPECT_EQ(Walk(table), Numbered({"kept", "kept too", "x", "y"}));

    // A key in the way stops the split with the table's code.
    CStringMapTable gap;
    gap.AddEntry(1, "in the way");
    EXPECT_EQ(SplitFileLines(path.c_str(), gap, true), KT_ERR_KEY_PRESENT);
    EXPECT_EQ(gap.GetCount(), 1);
}

TEST_F(TextFileTest, SplitOfASingleTenMegabyteLine) {
    std::string line(10 * 1024 * 1024, 'q');
    std::string path = Write(line + "\r\nend");
    CStringMapTable table;
    ASSERT_EQ(SplitFileLines(path.c_str(), table, true), 0);
    ASSERT_EQ(table.GetCount(), 2);
    CGuardedString* entry = nullptr;
    ASSERT_EQ(table.GetEntry(0, &entry), 0);
    EXPECT_EQ(entry->GetLength(), static_cast<int>(line.size()));
    EXPECT_EQ(std::string(entry->GetText()), line);
}

TEST_F(TextFileTest, SplitFailuresGiveTheFileLayersCodes) {
    std::string folder = m_log.Path("folder");
    ASSERT_EQ(mkdir(folder.c_str(), 0700), 0);
    std::string held = Write("a\r\nb", "held.csv");
    std::string longPath = "/" + std::string(260, 'p');
    CStringMapTable table;

    EXPECT_EQ(SplitFileLines(m_log.Path("missing.csv").c_str(), table, true), KT_ERR_OPEN);
    EXPECT_EQ(SplitFileLines(folder.c_str(), table, true), KT_ERR_OPEN);
    EXPECT_EQ(SplitFileLines(longPath.c_str(), table, true), KT_ERR_NAME_TOO_LONG);
    EXPECT_EQ(SplitFileLines(nullptr, table, true), KT_ERR_INVALID_PARAMETER);
    {
        int other = open(held.c_str(), O_RDWR);
        struct flock lock {};
        lock.l_type = F_WRLCK;
        lock.l_whence = SEEK_SET;
        ASSERT_EQ(fcntl(other, F_OFD_SETLK, &lock), 0);
        EXPECT_EQ(SplitFileLines(held.c_str(), table, true), KT_ERR_SHARING_VIOLATION);
        EXPECT_EQ(SplitTextFileLines(held.c_str(), table), KT_ERR_SHARING_VIOLATION);
        close(other);
    }
    EXPECT_EQ(table.GetCount(), 0);
    EXPECT_EQ(Warnings("KTFI"),
              (std::vector<std::string>{
                  "OpenFile() ERROR <2> while CreateFile <" + m_log.Path("missing.csv") + ">!",
                  "OpenFile() ERROR <21> while CreateFile <" + folder + ">!",
                  "GetFileName() ERROR BLOCK TOO LONG!",
              }));
    EXPECT_EQ(SplitFileLines(held.c_str(), table, true), 0) << "the file is free again";
}

TEST_F(TextFileTest, SplitTextFileLinesCases) {
    const std::string aChunk(kChunk - 1, 'a');
    const char bom[] = "\xEF\xBB\xBF";
    const SplitCase cases[] = {
        {"LF only file", "a\nb\n", true, {"a", "b"}},
        {"first line end CR LF", "a\r\nb\nc", true, {"a", "b\nc"}},
        {"first line end LF", "a\nb\r\nc\r\n", false, {"a", "b\r", "c\r"}},
        {"CR LF across the read chunk", aChunk + "\r\nb\nc", true, {aChunk, "b\nc"}},
        {"LF after the read chunk", aChunk + "a\nb\r\nc", false, {aChunk + "a", "b\r", "c"}},
        {"no line end", "a\rb", true, {"a\rb"}},
        {"byte-order mark skipped", std::string(bom) + "h1;h2\r\nv", true, {"h1;h2", "v"}},
        {"byte-order mark with LF", std::string(bom) + "h1\nv\n", true, {"h1", "v"}},
        {"byte-order mark alone", bom, true, {}},
        {"byte-order mark and line end", std::string(bom) + "\n", true, {}},
        {"half a byte-order mark", "\xEF\xBBx", true, {"\xEF\xBBx"}},
        {"mark later in the file stays", std::string("a\n") + bom + "b", true, {"a", std::string(bom) + "b"}},
        {"empty file", "", true, {}},
    };
    for (const SplitCase& c : cases) {
        SCOPED_TRACE(c.name);
        std::string path = Write(c.bytes);
        CStringMapTable table;
        EXPECT_EQ(SplitTextFileLines(path.c_str(), table), 0);
        EXPECT_EQ(Walk(table), Numbered(c.lines));
    }
    // The plain split keeps the mark as text.
    std::string path = Write(std::string(bom) + "x");
    CStringMapTable table;
    EXPECT_EQ(SplitFileLines(path.c_str(), table, true), 0);
    EXPECT_EQ(Walk(table), Numbered({std::string(bom) + "x"}));
}

TEST_F(TextFileTest, SearchStringInFileCases) {
    std::string a2047(2047, 'a');
    std::string big(5000, 'k');
    std::string needle = std::string(2500, 'n') + "end";
    big.replace(1500, needle.size(), needle);
    struct Case {
        const char* name;
        std::string bytes;
        std::string text;
        int64_t start;
        int64_t limit;
        int64_t result;
    };
    const Case cases[] = {
        {"case ignored", "hello world", "WORLD", 0, 0, 6},
        {"from a start", "hello world", "o", 5, 0, 7},
        {"at the start", "hello world", "o", 4, 0, 4},
        {"not there", "hello world", "xyz", 0, 0, KT_NOT_FOUND},
        {"start past the end", "hello world", "o", 50, 0, KT_NOT_FOUND},
        {"start at the end", "hello", "o", 5, 0, KT_NOT_FOUND},
        {"match beyond the limit", "hello world", "o", 5, 6, KT_NOT_FOUND},
        {"match at the limit", "hello world", "o", 5, 7, 7},
        {"last bytes", "abc\r\n", "\r\n", 0, 0, 3},
        {"zero byte hides nothing", Bytes("ab\0cd\r\n", 7), "\r\n", 0, 0, 5},
        {"across offset 2048", a2047 + "\r\nb", "\r\n", 0, 0, 2047},
        {"in the second block", std::string(3000, 'a') + "Zz", "zZ", 0, 0, 3000},
        {"text longer than a block", big, needle, 0, 0, 1500},
        {"empty text", "abc", "", 1, 0, 1},
        {"empty file", "", "\r\n", 0, 0, KT_NOT_FOUND},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string path = Write(c.bytes);
        CFileAccess file;
        ASSERT_EQ(file.SetFileName(path.c_str()), 0);
        ASSERT_EQ(file.FileOpenRead(true), 0);
        EXPECT_EQ(SearchStringInFile(file, c.text.c_str(), c.start, c.limit), c.result);
    }
    EXPECT_TRUE(m_log.Read().find("WARNING") == std::string::npos);
}

TEST_F(TextFileTest, SearchFailures) {
    std::string path = Write("abc");
    CFileAccess file;
    EXPECT_EQ(SearchStringInFile(file, "b", 0, 0), KT_ERR_FILE_SIZE);
    ASSERT_EQ(file.SetFileName(path.c_str()), 0);
    ASSERT_EQ(file.FileOpenRead(true), 0);
    EXPECT_EQ(SearchStringInFile(file, "b", -1, 0), KT_ERR_SEEK);
    EXPECT_EQ(SearchStringInFile(file, nullptr, 0, 0), KT_ERR_INVALID_PARAMETER);
    EXPECT_EQ(SearchStringInFile(file, "b", 0, 0), 1);
    EXPECT_EQ(Warnings("KTSF"), (std::vector<std::string>{
                                    "SearchStringInFile() ERROR <9> while GetFileSize!",
                                    "SearchStringInFile() ERROR <22> while SetFilePointer!",
                                    "KT_VALIDATE_Result() ERROR INVALID PARAMETER!",
                                }));
}

TEST_F(TextFileTest, SearchMatchesThePlainSearchOnRandomText) {
    std::mt19937 random(7);
    std::string data(20000, 'a');
    for (char& ch : data) ch = "aAbB\r\n\0x"[random() % 8];
    std::string path = Write(data);
    std::string upper = data;
    for (char& ch : upper) ch = static_cast<char>(toupper(static_cast<unsigned char>(ch)));
    CFileAccess file;
    ASSERT_EQ(file.SetFileName(path.c_str()), 0);
    ASSERT_EQ(file.FileOpenRead(true), 0);
    for (const char* text : {"\r\n", "ab\r", "bBbB", "\nx"}) {
        std::string needle = text;
        for (char& ch : needle) ch = static_cast<char>(toupper(static_cast<unsigned char>(ch)));
        for (int64_t start = 0; start < 20000; start += 997) {
            size_t hit = upper.find(needle, static_cast<size_t>(start));
            int64_t expected = hit == std::string::npos ? int64_t{KT_NOT_FOUND} : static_cast<int64_t>(hit);
            ASSERT_EQ(SearchStringInFile(file, text, start, 0), expected) << text << " from " << start;
        }
    }
}
