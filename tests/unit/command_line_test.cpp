// Where the tail of the bootstrapper's own command line begins, and the line
// a secondary program is started with.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "bootstrap/command_line.h"
#include "bootstrap/secondary_command_line.h"
#include "tests/fakes/fake_platform.h"

namespace {

struct TailCase {
    const char* what;
    std::string line;  // may hold a zero before its end
    const char* leadBytes;
    const char* tail;
};

class ProgramName : public ::testing::TestWithParam<TailCase> {};

TEST_P(ProgramName, LeavesTheTailInPlace) {
    const TailCase& c = GetParam();
    TheFakePlatform() = FakePlatform();
    TheFakePlatform().leadBytes = c.leadBytes;
    const char* line = c.line.c_str();
    const char* tail = SkipProgramName(line);
    EXPECT_STREQ(tail, c.tail) << c.what;
    // The tail is the end of the line itself, up to its first zero: nothing
    // is copied and nothing is read past that zero.
    EXPECT_EQ(tail + std::strlen(tail), line + std::strlen(line)) << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    Lines, ProgramName,
    ::testing::Values(
        TailCase{"empty line", "", "", ""}, TailCase{"name alone", "setup.exe", "", ""},
        TailCase{"name and blanks", "setup.exe \t  ", "", ""},
        TailCase{"quoted name alone", "\"C:\\Kiv Setup\\setup.exe\"", "", ""},
        TailCase{"quoted name and blanks", "\"C:\\Kiv Setup\\setup.exe\"   ", "", ""},
        TailCase{"quoted name then tail", "\"C:\\Kiv Setup\\setup.exe\" /q x", "", "/q x"},
        TailCase{"text right after the quote", "\"C:\\a b\\setup.exe\"/q x", "", "/q x"},
        TailCase{"empty quotes", "\"\" /q", "", "/q"},
        TailCase{"no closing quote", "\"C:\\a b\\setup.exe /q x", "", ""},
        TailCase{"unquoted name with a blank", "C:\\Kiv Setup\\setup.exe /q", "",
                 "Setup\\setup.exe /q"},
        TailCase{"tab ends a name", "setup.exe\t/q", "", "/q"},
        TailCase{"control characters skipped", "setup.exe \x01\x1f\t\r\n /q", "", "/q"},
        TailCase{"leading blank", "  /q x", "", "/q x"},
        TailCase{"inside and at the end kept", "setup.exe /q \"a  b\"\t100%s\x01  ", "",
                 "/q \"a  b\"\t100%s\x01  "},
        TailCase{"high bytes belong to the name", "s\xe9tup\xa0.exe /q", "", "/q"},
        TailCase{"quote as second byte of a character", "\"C:\\\x81\"x.exe\" /q", "\x81", "/q"},
        TailCase{"same bytes in a single-byte code page", "\"C:\\\x81\"x.exe\" /q", "",
                 "x.exe\" /q"},
        TailCase{"lead byte only matters inside quotes", "a\x81 /q", "\x81", "/q"},
        TailCase{"lead byte before the zero", std::string("\"ab\x81\0\" /q", 8), "\x81", ""}),
    [](const ::testing::TestParamInfo<TailCase>& info) { return std::to_string(info.index); });

struct LineCase {
    const char* what;
    const char* setupPath;
    const char* bootstrapPath;
    const char* tail;
    const char* line;
};

class SecondaryLine : public ::testing::TestWithParam<LineCase> {};

TEST_P(SecondaryLine, JoinsThePartsWithSingleBlanks) {
    const LineCase& c = GetParam();
    char* line = BuildSecondaryCommandLine(c.setupPath, c.bootstrapPath, c.tail);
    ASSERT_NE(line, nullptr);
    EXPECT_STREQ(line, c.line) << c.what;
    std::free(line);
}

INSTANTIATE_TEST_SUITE_P(
    Parts, SecondaryLine,
    ::testing::Values(
        LineCase{"short paths", "C:\\TEMP\\_setup0.exe", "C:\\KIVSET~1\\setup.exe", "/q",
                 "C:\\TEMP\\_setup0.exe C:\\KIVSET~1\\setup.exe /q"},
        LineCase{"empty tail ends in a blank", "C:\\T\\_setup0.exe", "C:\\setup.exe", "",
                 "C:\\T\\_setup0.exe C:\\setup.exe "},
        LineCase{"tail passed byte for byte", "a.exe", "b.exe", "%s %d \"x  y\"\t100%  ",
                 "a.exe b.exe %s %d \"x  y\"\t100%  "},
        LineCase{"temporary path with a blank", "C:\\My Temp\\_setup0.exe", "C:\\setup.exe", "/q",
                 "\"C:\\My Temp\\_setup0.exe\" C:\\setup.exe /q"},
        LineCase{"bootstrapper path with a blank", "C:\\T\\_setup0.exe", "D:\\Kiv Setup\\setup.exe",
                 "", "C:\\T\\_setup0.exe \"D:\\Kiv Setup\\setup.exe\" "},
        LineCase{"a blank in the tail only", "a.exe", "b.exe", "x y", "a.exe b.exe x y"}));

TEST(SecondaryLine, IsNeverCutShort) {
    // Two paths of 255 characters and a long tail: far past any fixed buffer.
    std::string setupPath(255, 's'), bootstrapPath(255, 'b'), tail(3000, 't');
    char* line = BuildSecondaryCommandLine(setupPath.c_str(), bootstrapPath.c_str(), tail.c_str());
    ASSERT_NE(line, nullptr);
    EXPECT_EQ(std::string(line), setupPath + " " + bootstrapPath + " " + tail);
    std::free(line);
}

}  // namespace
