// The hand-over over the fake platform: start and load thresholds, what is
// removed, released and hidden, in which order, and the module wait.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "bootstrap/launch.h"
#include "bootstrap/library_search.h"
#include "container/setup_messages.h"
#include "state/setup_state.h"
#include "tests/fakes/fake_platform.h"
#include "tests/unit/test_support.h"

namespace {

using Events = std::vector<std::string>;

// What the library's entry received, as pointers: the entry must get the
// very strings, not copies.
const char* setupGotPath;
const char* setupGotTail;

int KIV_STDCALL RecordingSetup(const char* path, const char* tail) {
    setupGotPath = path;
    setupGotTail = tail;
    RecordEvent(std::string("Setup(") + path + "|" + tail + ")");
    return 0;
}

class Launch : public ::testing::Test {
   protected:
    void SetUp() override {
        TheFakePlatform() = FakePlatform();
        TheFakePlatform().setupEntry = reinterpret_cast<void*>(&RecordingSetup);
        ResetErrorLatch();
        temp = dir.File("_setup0.exe");
        WriteWholeFile(temp, Bytes{'M', 'Z'});
        std::snprintf(tempSetupPath, sizeof tempSetupPath, "%s", temp.c_str());
        std::snprintf(bootstrapPath, sizeof bootstrapPath, "%s", "C:\\KIVSET~1\\setup.exe");
        commandTail = "/q";
        setupGotPath = setupGotTail = nullptr;
        librarySearchRestricted = 0;
    }

    const Events& events() const { return TheFakePlatform().events; }

    ScratchDir dir;
    std::string temp;
};

struct StartCase {
    unsigned result;
    bool started;
};

class StartResult : public Launch, public ::testing::WithParamInterface<StartCase> {};

TEST_P(StartResult, IsComparedAsAnUnsignedNumberAgainst32) {
    const StartCase& c = GetParam();
    TheFakePlatform().startResult = c.result;
    int launched = LaunchProgram();
    std::string module = std::to_string(uintptr_t(c.result));
    if (c.started) {
        EXPECT_EQ(launched, 1);
        EXPECT_EQ(errorLatch.flag, 0);
        EXPECT_EQ(events(),
                  (Events{"StartProgram(5)", "HideProgressWindow", "ModuleName(" + module + ")"}));
        EXPECT_TRUE(FileExists(temp));
    } else {
        EXPECT_EQ(launched, 0);
        EXPECT_EQ(errorLatch.flag, 1);
        EXPECT_STREQ(errorLatch.text, KIV_MSG_START_FAILED);
        // The window stays shown on a failure; only the file goes.
        EXPECT_EQ(events(), (Events{"StartProgram(5)", "RemoveFile(" + temp + ")"}));
        EXPECT_FALSE(FileExists(temp));
    }
}

INSTANTIATE_TEST_SUITE_P(Thresholds, StartResult,
                         ::testing::Values(StartCase{0, false}, StartCase{2, false},
                                           StartCase{31, false}, StartCase{32, true},
                                           StartCase{33, true}, StartCase{0x80000000u, true}));

TEST_F(Launch, StartsTheThreePartLineShownNormally) {
    commandTail = "100% \"sure\"\t ";
    ASSERT_EQ(LaunchProgram(), 1);
    ASSERT_EQ(TheFakePlatform().startedLines.size(), 1u);
    EXPECT_EQ(TheFakePlatform().startedLines[0],
              temp + " C:\\KIVSET~1\\setup.exe 100% \"sure\"\t ");
}

TEST_F(Launch, ALongLineReachesTheSystemWhole) {
    std::string tail(3000, 'x');
    commandTail = tail.c_str();
    ASSERT_EQ(LaunchProgram(), 1);
    EXPECT_EQ(TheFakePlatform().startedLines.at(0), temp + " C:\\KIVSET~1\\setup.exe " + tail);
}

TEST_F(Launch, ALineRefusedForItsLengthFailsTheStart) {
    std::string tail(3000, 'x');
    commandTail = tail.c_str();
    TheFakePlatform().longestCommandLine = 2000;
    TheFakePlatform().refusedResult = 0;
    EXPECT_EQ(LaunchProgram(), 0);
    EXPECT_STREQ(errorLatch.text, KIV_MSG_START_FAILED);
    EXPECT_FALSE(FileExists(temp));
}

TEST_F(Launch, TheModuleWaitServesMessagesWhileTheModuleLives) {
    TheFakePlatform().moduleAliveQueries = 2;
    TheFakePlatform().queuedMessages = 3;
    ASSERT_EQ(LaunchProgram(), 1);
    // Each pass empties the queue and then pauses once.
    EXPECT_EQ(events(), (Events{"StartProgram(5)", "HideProgressWindow", "ModuleName(33)",
                                "DispatchMessage", "DispatchMessage", "DispatchMessage",
                                "Sleep(100)", "ModuleName(33)", "Sleep(100)", "ModuleName(33)"}));
}

TEST_F(Launch, PumpMessagesWithAnEmptyQueueSleepsOnce) {
    PumpMessages();
    EXPECT_EQ(events(), (Events{"Sleep(100)"}));
}

struct HandleCase {
    uintptr_t handle;
    bool loaded;
};

class LibraryHandle : public Launch, public ::testing::WithParamInterface<HandleCase> {};

TEST_P(LibraryHandle, IsComparedAsASigned32BitNumberAgainst32) {
    TheFakePlatform().libraryHandle = reinterpret_cast<void*>(GetParam().handle);
    int launched = LaunchLibrary();
    if (GetParam().loaded) {
        EXPECT_EQ(launched, 1);
        EXPECT_EQ(errorLatch.flag, 0);
    } else {
        EXPECT_EQ(launched, 0);
        EXPECT_STREQ(errorLatch.text, KIV_MSG_LOAD_FAILED);
        EXPECT_EQ(events(), (Events{"LoadLibrary(" + temp + ")"}));
    }
    EXPECT_TRUE(FileExists(temp)) << "the entry sequence removes it, not the launch";
}

INSTANTIATE_TEST_SUITE_P(Thresholds, LibraryHandle,
                         ::testing::Values(HandleCase{0, false}, HandleCase{31, false},
                                           HandleCase{0x80000000u, false}, HandleCase{32, true},
                                           HandleCase{0x10000000, true}));

TEST_F(Launch, SetupIsCalledOnceAfterTheWindowIsHiddenThenReleased) {
    commandTail = "  %s \"a b\"  ";
    ASSERT_EQ(LaunchLibrary(), 1);
    EXPECT_EQ(events(),
              (Events{"LoadLibrary(" + temp + ")", "GetProcAddress(Setup)", "HideProgressWindow",
                      "Setup(C:\\KIVSET~1\\setup.exe|  %s \"a b\"  )", "FreeLibrary"}));
    EXPECT_EQ(setupGotPath, bootstrapPath);
    EXPECT_EQ(setupGotTail, commandTail);
    EXPECT_TRUE(FileExists(temp));
}

TEST_F(Launch, ALibraryWithoutSetupIsReleasedAndTheWindowStays) {
    TheFakePlatform().setupEntry = nullptr;
    EXPECT_EQ(LaunchLibrary(), 0);
    EXPECT_STREQ(errorLatch.text, KIV_MSG_NO_ENTRY);
    EXPECT_EQ(events(),
              (Events{"LoadLibrary(" + temp + ")", "GetProcAddress(Setup)", "FreeLibrary"}));
    EXPECT_TRUE(FileExists(temp));
}

// Where the search is restricted, the library is loaded with its own folder
// for its imports, and that folder is added only once the hand-over is sure
// (a loaded library with its entry), before the window goes.
struct RestrictedCase {
    uintptr_t handle;
    bool hasSetup;
    std::vector<const char*> events;  // TEMP: the library's path; DIR: its folder
};

class RestrictedSearch : public Launch, public ::testing::WithParamInterface<RestrictedCase> {};

TEST_P(RestrictedSearch, LoadsBesideItselfAndAddsItsFolderBeforeSetup) {
    const RestrictedCase& c = GetParam();
    librarySearchRestricted = 1;
    TheFakePlatform().libraryHandle = reinterpret_cast<void*>(c.handle);
    if (!c.hasSetup) {
        TheFakePlatform().setupEntry = nullptr;
    }
    LaunchLibrary();
    Events expected;
    for (const char* step : c.events) {
        std::string s = step;
        if (s.find("TEMP") != std::string::npos) {
            s.replace(s.find("TEMP"), 4, temp);
        } else if (s.find("DIR") != std::string::npos) {
            s.replace(s.find("DIR"), 3, dir.File(""));
            s.erase(s.size() - 2, 1);  // the folder without its separator
        }
        expected.push_back(s);
    }
    EXPECT_EQ(events(), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Outcomes, RestrictedSearch,
    ::testing::Values(RestrictedCase{0x10000000,
                                     true,
                                     {"LoadLibraryEx(TEMP|0x900)", "GetProcAddress(Setup)",
                                      "AddDllDirectory(DIR)", "HideProgressWindow",
                                      "Setup(C:\\KIVSET~1\\setup.exe|/q)", "FreeLibrary"}},
                      RestrictedCase{
                          0x10000000,
                          false,
                          {"LoadLibraryEx(TEMP|0x900)", "GetProcAddress(Setup)", "FreeLibrary"}},
                      RestrictedCase{0, true, {"LoadLibraryEx(TEMP|0x900)"}}));

struct FolderCase {
    const char* path;
    const char* folder;  // "" with result 0
};

class LibraryFolder : public ::testing::TestWithParam<FolderCase> {};

TEST_P(LibraryFolder, IsThePathBeforeItsLastSeparator) {
    char folder[kPathBufferSize] = "stale";
    int found = LibraryFolderOf(GetParam().path, folder, sizeof folder);
    EXPECT_EQ(found, GetParam().folder[0] ? 1 : 0);
    EXPECT_STREQ(folder, GetParam().folder);
}

INSTANTIATE_TEST_SUITE_P(
    Paths, LibraryFolder,
    ::testing::Values(FolderCase{"C:\\DOCUME~1\\kiv\\LOCALS~1\\Temp\\_setup0.dll",
                                 "C:\\DOCUME~1\\kiv\\LOCALS~1\\Temp"},
                      FolderCase{"C:\\_setup0.dll", "C:\\"}, FolderCase{"\\_setup0.dll", "\\"},
                      FolderCase{"Z:/tmp/x/_setup0.dll", "Z:/tmp/x"},
                      FolderCase{"\\\\server\\share\\_setup0.dll", "\\\\server\\share"},
                      FolderCase{"_setup0.dll", ""}));

TEST(LibraryFolder, AFolderThatDoesNotFitGivesNothing) {
    char folder[8] = "stale";
    EXPECT_EQ(LibraryFolderOf("C:\\longer\\x.dll", folder, sizeof folder), 0);
    EXPECT_STREQ(folder, "");
    EXPECT_EQ(LibraryFolderOf("C:\\abcd\\x.dll", folder, sizeof folder), 1);
    EXPECT_STREQ(folder, "C:\\abcd");
}

}  // namespace
