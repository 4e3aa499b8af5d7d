// The whole run over the fake platform and the fake window, with the real
// extraction reading a container from a scratch folder: the order of the
// steps on every outcome, the one box and its text, and what is removed.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "bootstrap/entry_sequence.h"
#include "bootstrap/launch.h"
#include "bootstrap/library_search.h"
#include "container/setup_messages.h"
#include "state/setup_state.h"
#include "tests/fakes/fake_platform.h"
#include "tests/unit/test_support.h"

namespace {

using Events = std::vector<std::string>;

int KIV_STDCALL RecordingSetup(const char* path, const char* tail) {
    RecordEvent(std::string("Setup(") + path + "|" + tail + ")");
    return 1;
}

std::string Box(const char* text) {
    return std::string("MessageBox(") + text + "|Setup|0x10)";
}

enum class Image { Program, Library, Damaged };

class Run : public ::testing::Test {
   protected:
    void SetUp() override {
        ResetFakePlatform(dir.path());
        TheFakePlatform().setupEntry = reinterpret_cast<void*>(&RecordingSetup);
        // A stale report from before the run must not show.
        ReportError("stale");
    }

    void WriteBootstrapper(Image image) {
        Bytes stub = Pattern(512, 1);
        PayloadSlot slot{uint32_t(stub.size()), uint32_t(stream.size())};
        PayloadSlot info{slot.offset + slot.length, 4};
        ContainerTrailer trailer = image == Image::Library
                                       ? MakeTrailer({0, 0}, slot, {info, {0, 0}, {0, 0}, {0, 0}})
                                       : MakeTrailer(slot, {0, 0}, {info, {0, 0}, {0, 0}, {0, 0}});
        Bytes trailerBytes = TrailerBytes(trailer);
        if (image == Image::Damaged) {
            trailerBytes.back() ^= 1;
        }
        WriteWholeFile(dir.File("setup.exe"),
                       Concat({stub, stream, Bytes{'i', 'n', 'f', 'o'}, trailerBytes}));
    }

    std::string TempName(const char* extension) const {
        return dir.File("tmp") + "\\_setup0." + extension;
    }

    const Events& events() const { return TheFakePlatform().events; }

    ScratchDir dir;
    Bytes stream = LiteralStream(Pattern(300, 2));
};

// Each outcome of a run: the fake's settings and the steps that must follow.
struct Outcome {
    const char* what;
    Image image;
    unsigned startResult;
    uintptr_t libraryHandle;
    bool hasSetup;
    const char* box;  // null: no box
    bool fileStays;
    std::vector<const char*> middle;  // steps between the error mode and closing
};

class Outcomes : public Run, public ::testing::WithParamInterface<Outcome> {};

TEST_P(Outcomes, RunInOrderAndExitWithZero) {
    const Outcome& o = GetParam();
    TheFakePlatform().startResult = o.startResult;
    TheFakePlatform().libraryHandle = reinterpret_cast<void*>(o.libraryHandle);
    if (!o.hasSetup) {
        TheFakePlatform().setupEntry = nullptr;
    }
    WriteBootstrapper(o.image);
    const char* tail = "/s 100%";

    // The show state the process got (here SW_HIDE) changes nothing.
    EXPECT_EQ(RunBootstrap(reinterpret_cast<void*>(0x400000), nullptr, tail, 0), 0);

    std::string temp = TempName(o.image == Image::Library ? "dll" : "exe");
    // The library search is restricted before anything else; the fake is a
    // system without SetDefaultDllDirectories unless a test says otherwise.
    Events expected{"SetDefaultDllDirectories(0xc00)", "SetDllDirectory()", "OpenProgressWindow",
                    "SetErrorMode(0x8001)"};
    for (const char* step : o.middle) {
        std::string s = step;
        size_t at = s.find("TEMP");
        if (at != std::string::npos) {
            s.replace(at, 4, temp);
        }
        at = s.find("BOOT");
        if (at != std::string::npos) {
            s.replace(at, 4, dir.File("setup.exe"));
        }
        expected.push_back(s);
    }
    expected.push_back("CloseProgressWindow");
    if (o.box) {
        expected.push_back(Box(o.box));
    }
    expected.push_back("ReleaseProgressWindowResources");
    EXPECT_EQ(events(), expected) << o.what;
    EXPECT_EQ(errorLatch.flag, o.box ? 1 : 0);
    EXPECT_EQ(FileExists(temp), o.fileStays) << o.what;
    EXPECT_EQ(commandTail, tail) << "the tail is kept, not copied";
}

INSTANTIATE_TEST_SUITE_P(
    EveryOutcome, Outcomes,
    ::testing::Values(
        Outcome{
            "extraction failed", Image::Damaged, 33, 0x10000000, true, KIV_MSG_DAMAGED, false, {}},
        Outcome{"program started",
                Image::Program,
                33,
                0x10000000,
                true,
                nullptr,
                true,
                {"StartProgram(5)", "HideProgressWindow", "ModuleName(33)"}},
        Outcome{"program start failed",
                Image::Program,
                31,
                0x10000000,
                true,
                KIV_MSG_START_FAILED,
                false,
                {"StartProgram(5)", "RemoveFile(TEMP)"}},
        Outcome{"setup returned",
                Image::Library,
                33,
                0x10000000,
                true,
                nullptr,
                false,
                {"LoadLibrary(TEMP)", "GetProcAddress(Setup)", "HideProgressWindow",
                 "Setup(BOOT|/s 100%)", "FreeLibrary", "RemoveFile(TEMP)"}},
        Outcome{"library not loaded",
                Image::Library,
                33,
                31,
                true,
                KIV_MSG_LOAD_FAILED,
                false,
                {"LoadLibrary(TEMP)", "RemoveFile(TEMP)"}},
        Outcome{"no Setup entry",
                Image::Library,
                33,
                0x10000000,
                false,
                KIV_MSG_NO_ENTRY,
                false,
                {"LoadLibrary(TEMP)", "GetProcAddress(Setup)", "FreeLibrary", "RemoveFile(TEMP)"}}),
    [](const ::testing::TestParamInfo<Outcome>& info) { return std::to_string(info.index); });

TEST_F(Run, APathWithoutShortFormIsQuotedOnTheLine) {
    // The temporary folder holds a blank and the volume gives no short form;
    // the bootstrapper's own path has one.
    TheFakePlatform().tempPath = dir.File("my temp") + "\\";
    std::filesystem::create_directory(dir.File("my temp"));
    TheFakePlatform().modulePath = dir.File("Kiv Setup.exe");
    TheFakePlatform().shortPaths[dir.File("Kiv Setup.exe")] = dir.File("KIVSET~1.EXE");
    WriteBootstrapper(Image::Program);
    std::rename(dir.File("setup.exe").c_str(), dir.File("Kiv Setup.exe").c_str());

    RunBootstrap(nullptr, nullptr, "", 1);

    ASSERT_EQ(TheFakePlatform().startedLines.size(), 1u) << errorLatch.text;
    EXPECT_EQ(TheFakePlatform().startedLines[0],
              "\"" + dir.File("my temp") + "\\_setup0.exe\" " + dir.File("KIVSET~1.EXE") + " ");
}

// Where libraries may come from, on a system with SetDefaultDllDirectories
// and on one without: restricted first of all, the secondary library loaded
// with its own folder for its imports, and that folder (never the
// bootstrapper's) added for what Setup loads.
struct SearchCase {
    bool restricts;
    std::vector<const char*> first;    // before the window opens
    std::vector<const char*> library;  // the hand-over, up to the call
};

class LibrarySearch : public Run, public ::testing::WithParamInterface<SearchCase> {};

TEST_P(LibrarySearch, IsRestrictedFirstAndTheLibraryLoadsBesideItself) {
    const SearchCase& c = GetParam();
    TheFakePlatform().restrictsLibrarySearch = c.restricts;
    WriteBootstrapper(Image::Library);
    RunBootstrap(nullptr, nullptr, "", 1);

    std::string temp = TempName("dll");
    Events expected(c.first.begin(), c.first.end());
    expected.push_back("OpenProgressWindow");
    expected.push_back("SetErrorMode(0x8001)");
    for (const char* step : c.library) {
        std::string s = step;
        if (s.find("TEMPDIR") != std::string::npos) {
            s.replace(s.find("TEMPDIR"), 7, dir.File("tmp"));
        } else if (s.find("TEMP") != std::string::npos) {
            s.replace(s.find("TEMP"), 4, temp);
        }
        expected.push_back(s);
    }
    expected.push_back("HideProgressWindow");
    expected.push_back("Setup(" + dir.File("setup.exe") + "|)");
    expected.push_back("FreeLibrary");
    expected.push_back("RemoveFile(" + temp + ")");
    expected.push_back("CloseProgressWindow");
    expected.push_back("ReleaseProgressWindowResources");
    EXPECT_EQ(events(), expected);
    EXPECT_EQ(librarySearchRestricted, c.restricts ? 1 : 0);
}

INSTANTIATE_TEST_SUITE_P(
    OldAndNewSystems, LibrarySearch,
    ::testing::Values(SearchCase{true,
                                 {"SetDefaultDllDirectories(0xc00)"},
                                 {"LoadLibraryEx(TEMP|0x900)", "GetProcAddress(Setup)",
                                  "AddDllDirectory(TEMPDIR)"}},
                      SearchCase{false,
                                 {"SetDefaultDllDirectories(0xc00)", "SetDllDirectory()"},
                                 {"LoadLibrary(TEMP)", "GetProcAddress(Setup)"}}),
    [](const ::testing::TestParamInfo<SearchCase>& info) {
        return info.param.restricts ? std::string("Restricted") : std::string("Fallback");
    });

TEST(ErrorLatch, KeepsTheLastReport) {
    ResetErrorLatch();
    EXPECT_EQ(errorLatch.flag, 0);
    EXPECT_STREQ(errorLatch.text, "");
    ReportError(KIV_MSG_LOAD_FAILED);
    ReportError("x");
    EXPECT_EQ(errorLatch.flag, 1);
    EXPECT_STREQ(errorLatch.text, "x");
}

}  // namespace
