// The extraction over the fake platform: trailer checks, launch mode, the
// temporary name rules, the rewritten container and every failure text.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <unistd.h>

#include "container/extract_setup.h"
#include "container/setup_messages.h"
#include "tests/fakes/fake_platform.h"
#include "tests/unit/test_support.h"

namespace {

// Lays out a container: a stub, then pieces wherever the test puts them.
struct ContainerFile {
    Bytes bytes;
    PayloadSlot Add(const Bytes& piece) {
        PayloadSlot slot{uint32_t(bytes.size()), uint32_t(piece.size())};
        // resize + copy rather than insert: GCC 12 warns falsely about the
        // insert of a short vector here.
        bytes.resize(bytes.size() + piece.size());
        std::copy(piece.begin(), piece.end(), bytes.end() - long(piece.size()));
        return slot;
    }
    Bytes Finish(const ContainerTrailer& trailer) const {
        return Concat({bytes, TrailerBytes(trailer)});
    }
};

class Extraction : public ::testing::Test {
   protected:
    void SetUp() override {
        ResetFakePlatform(dir.path());
        ResetErrorLatch();
        launchMode = LaunchMode::Library;
    }

    void WriteSetup(const Bytes& file) { WriteWholeFile(dir.File("setup.exe"), file); }

    // The name the extraction gives attempt n in the scratch folder.
    std::string TempName(int n, const char* ext = "exe") const {
        return dir.File("tmp") + "\\_setup" + std::to_string(n) + "." + ext;
    }

    ScratchDir dir;
};

TEST_F(Extraction, RewritesTheSampleContainerLikeTheDocumentedExample) {
    // Same sizes as the example in doc/container_format.md.
    Bytes program = Pattern(245760, 1);
    Bytes info0 = Pattern(2473, 2), info1 = Pattern(3795, 3), info3 = Pattern(210822, 4);
    ContainerFile c;
    c.Add(Pattern(36864, 5));
    PayloadSlot image = c.Add(LiteralStream(program));
    PayloadSlot s0 = c.Add(info0), s1 = c.Add(info1), s3 = c.Add(info3);
    WriteSetup(c.Finish(MakeTrailer(image, {0, 0}, {s0, s1, {0, 0}, s3})));

    ASSERT_EQ(ExtractSecondarySetup(), 1) << errorLatch.text;
    EXPECT_EQ(launchMode, LaunchMode::Program);
    EXPECT_EQ(errorLatch.flag, 0);
    EXPECT_STREQ(tempSetupPath, TempName(0).c_str());
    EXPECT_STREQ(bootstrapPath, dir.File("setup.exe").c_str());

    Bytes out = ReadWholeFile(tempSetupPath);
    ASSERT_EQ(out.size(), 462906u);
    ContainerTrailer expected =
        MakeTrailer({0, 0}, {0, 0}, {{245760, 2473}, {248233, 3795}, {0, 0}, {252028, 210822}});
    EXPECT_EQ(out, Concat({program, info0, info1, info3, TrailerBytes(expected)}));
}

struct ModeCase {
    const char* what;
    bool program, library;
    LaunchMode mode;
    const char* extension;
};

class ModeChoice : public Extraction, public ::testing::WithParamInterface<ModeCase> {};

TEST_P(ModeChoice, PicksTheImageAndTheName) {
    const ModeCase& m = GetParam();
    ContainerFile c;
    c.Add(Bytes(16, 0xCC));
    PayloadSlot p = m.program ? c.Add(LiteralStream({'P'})) : PayloadSlot{0, 0};
    PayloadSlot l = m.library ? c.Add(LiteralStream({'L'})) : PayloadSlot{0, 0};
    WriteSetup(c.Finish(MakeTrailer(p, l, {})));
    // An .exe name for 0 must not hold up library mode, nor a .dll name the program.
    WriteWholeFile(TempName(0, m.mode == LaunchMode::Program ? "dll" : "exe"), {1});

    ASSERT_EQ(ExtractSecondarySetup(), 1) << m.what;
    EXPECT_EQ(launchMode, m.mode);
    EXPECT_STREQ(tempSetupPath, TempName(0, m.extension).c_str());
    Bytes out = ReadWholeFile(tempSetupPath);
    ASSERT_EQ(out.size(), 1u + kTrailerSize);
    EXPECT_EQ(out[0], m.mode == LaunchMode::Program ? 'P' : 'L');
}

INSTANTIATE_TEST_SUITE_P(
    Slots, ModeChoice,
    ::testing::Values(ModeCase{"program only", true, false, LaunchMode::Program, "exe"},
                      ModeCase{"library only", false, true, LaunchMode::Library, "dll"},
                      ModeCase{"both", true, true, LaunchMode::Program, "exe"}));

TEST_F(Extraction, AnImageSlotWithLengthZeroStillCounts) {
    ContainerFile c;
    c.Add({0});
    PayloadSlot image = c.Add(LiteralStream({'x', 'y'}));
    image.length = 0;
    WriteSetup(c.Finish(MakeTrailer(image, {0, 0}, {})));
    ASSERT_EQ(ExtractSecondarySetup(), 1);
    EXPECT_EQ(ReadWholeFile(tempSetupPath).size(), 2u + kTrailerSize);
}

TEST_F(Extraction, EmptyBlobsTakeNoRoomAndGetZeroSlots) {
    ContainerFile c;
    c.Add({0});
    PayloadSlot image = c.Add(LiteralStream({'a', 'b', 'c'}));
    PayloadSlot b2 = c.Add({'q'});
    // Blob 0 has an offset but no length; blob 1 is (0, 0).
    WriteSetup(c.Finish(MakeTrailer(image, {0, 0}, {{b2.offset, 0}, {0, 0}, b2, {0, 0}})));
    ASSERT_EQ(ExtractSecondarySetup(), 1);
    ContainerTrailer expected = MakeTrailer({0, 0}, {0, 0}, {{0, 0}, {0, 0}, {3, 1}, {0, 0}});
    EXPECT_EQ(ReadWholeFile(tempSetupPath), Concat({{'a', 'b', 'c', 'q'}, TrailerBytes(expected)}));
}

TEST_F(Extraction, AllBlobsEmptyPutsTheTrailerRightAfterTheImage) {
    ContainerFile c;
    c.Add({0});
    PayloadSlot image = c.Add(LiteralStream({'z'}));
    WriteSetup(c.Finish(MakeTrailer({0, 0}, image, {})));
    ASSERT_EQ(ExtractSecondarySetup(), 1);
    Bytes out = ReadWholeFile(tempSetupPath);
    ASSERT_EQ(out.size(), 1u + kTrailerSize);
    EXPECT_EQ(Bytes(out.begin() + 1, out.begin() + 49), Bytes(48, 0));
}

TEST_F(Extraction, PiecesOutOfOrderWithGapsReadLikeAPackedContainer) {
    Bytes image = LiteralStream({'I', 'M'});
    ContainerFile c;
    c.Add(Bytes(10, 0xAA));
    PayloadSlot b3 = c.Add({'3', '3'});
    c.Add(Bytes(7, 0xBB));
    PayloadSlot b0 = c.Add({'0'});
    PayloadSlot img = c.Add(image);
    c.Add(Bytes(3, 0xDD));
    WriteSetup(c.Finish(MakeTrailer(img, {0, 0}, {b0, {0, 0}, {0, 0}, b3})));
    ASSERT_EQ(ExtractSecondarySetup(), 1);
    ContainerTrailer expected = MakeTrailer({0, 0}, {0, 0}, {{2, 1}, {0, 0}, {0, 0}, {3, 2}});
    EXPECT_EQ(ReadWholeFile(tempSetupPath),
              Concat({{'I', 'M', '0', '3', '3'}, TrailerBytes(expected)}));
}

TEST_F(Extraction, AnImageOffsetPastTheEndExpandsToNothing) {
    ContainerFile c;
    c.Add({0});
    PayloadSlot blob = c.Add({'b'});
    WriteSetup(c.Finish(MakeTrailer({1000000, 1}, {0, 0}, {blob})));
    ASSERT_EQ(ExtractSecondarySetup(), 1);
    ContainerTrailer expected = MakeTrailer({0, 0}, {0, 0}, {{0, 1}});
    EXPECT_EQ(ReadWholeFile(tempSetupPath), Concat({{'b'}, TrailerBytes(expected)}));
}

struct FailureCase {
    const char* what;
    ContainerTrailer trailer;
    const char* message;
};

class ContainerFailures : public Extraction, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(ContainerFailures, ReportTheirTextAndCreateNoFile) {
    ContainerTrailer t = GetParam().trailer;
    WriteSetup(Concat({LiteralStream({'x'}), TrailerBytes(t)}));
    EXPECT_EQ(ExtractSecondarySetup(), 0);
    EXPECT_EQ(errorLatch.flag, 1);
    EXPECT_STREQ(errorLatch.text, GetParam().message) << GetParam().what;
    EXPECT_FALSE(FileExists(TempName(0))) << GetParam().what;
    EXPECT_FALSE(FileExists(TempName(0, "dll"))) << GetParam().what;
}

ContainerTrailer BadSignature() {
    ContainerTrailer t = MakeTrailer({1, 1}, {0, 0}, {});
    t.signature[3] = 's';
    return t;
}

INSTANTIATE_TEST_SUITE_P(
    Trailers, ContainerFailures,
    ::testing::Values(FailureCase{"wrong signature", BadSignature(), KIV_MSG_DAMAGED},
                      FailureCase{"no image", MakeTrailer({0, 5}, {0, 5}, {{1, 1}}),
                                  KIV_MSG_NO_IMAGE},
                      FailureCase{"program offset 2^31", MakeTrailer({0x80000000u, 1}, {0, 0}, {}),
                                  KIV_MSG_DAMAGED},
                      FailureCase{"library offset 0xFFFFFFFF",
                                  MakeTrailer({0, 0}, {0xFFFFFFFFu, 1}, {}), KIV_MSG_DAMAGED}));

TEST_F(Extraction, AFileShorterThanATrailerIsDamaged) {
    WriteSetup(Bytes(55, 0));
    EXPECT_EQ(ExtractSecondarySetup(), 0);
    EXPECT_STREQ(errorLatch.text, KIV_MSG_DAMAGED);
}

TEST_F(Extraction, AnUnopenableFileNamesItsLongPath) {
    TheFakePlatform().modulePath = dir.File("Program Files/missing setup.exe");
    TheFakePlatform().shortPaths[TheFakePlatform().modulePath] = "C:\\PROGRA~1\\MISSIN~1.EXE";
    EXPECT_EQ(ExtractSecondarySetup(), 0);
    EXPECT_EQ("Cannot open " + TheFakePlatform().modulePath + ".", std::string(errorLatch.text));
    EXPECT_STREQ(bootstrapPath, "");
}

TEST_F(Extraction, AVeryLongUnopenablePathIsCutToTheLatch) {
    TheFakePlatform().modulePath = dir.File(std::string(300, 'p'));
    EXPECT_EQ(ExtractSecondarySetup(), 0);
    EXPECT_EQ(std::strlen(errorLatch.text), 255u);
    EXPECT_EQ(std::string(errorLatch.text, 12), "Cannot open ");
}

TEST_F(Extraction, BothPathsTakeTheirShortForms) {
    ContainerFile c;
    c.Add({0});
    PayloadSlot image = c.Add(LiteralStream({'x'}));
    WriteSetup(c.Finish(MakeTrailer(image, {0, 0}, {})));
    TheFakePlatform().shortPaths[dir.File("setup.exe")] = "C:\\SETUP~1.EXE";
    TheFakePlatform().shortPaths[TempName(0)] = "C:\\TEMP\\_SETUP~1.EXE";
    ASSERT_EQ(ExtractSecondarySetup(), 1);
    EXPECT_STREQ(bootstrapPath, "C:\\SETUP~1.EXE");
    EXPECT_STREQ(tempSetupPath, "C:\\TEMP\\_SETUP~1.EXE");
}

// --- Temporary names -----------------------------------------------------

class TempNames : public Extraction {
   protected:
    std::string CreateAndClose(LaunchMode mode) {
        std::FILE* f = CreateTemporarySetupFile(mode);
        if (!f) {
            return "";
        }
        std::fclose(f);
        return tempSetupPath;
    }
};

TEST_F(TempNames, ATrailingBackslashIsNotDoubled) {
    std::string withSlash = CreateAndClose(LaunchMode::Program);
    TheFakePlatform().tempPath = dir.File("tmp");  // same folder, no backslash
    std::remove(withSlash.c_str());
    std::string without = CreateAndClose(LaunchMode::Program);
    EXPECT_EQ(withSlash, TempName(0));
    EXPECT_EQ(without, TempName(0));
}

TEST_F(TempNames, ReadableNamesAreLeftAloneAndSkipped) {
    WriteWholeFile(TempName(0), {'k', 'e', 'e', 'p'});
    WriteWholeFile(TempName(1), {'m', 'e'});
    EXPECT_EQ(CreateAndClose(LaunchMode::Program), TempName(2));
    EXPECT_EQ(ReadWholeFile(TempName(0)), Bytes({'k', 'e', 'e', 'p'}));
    EXPECT_EQ(ReadWholeFile(TempName(1)), Bytes({'m', 'e'}));
}

TEST_F(TempNames, AnUnreadableExistingNameIsSkippedNotEmptied) {
    WriteWholeFile(TempName(0), {'l', 'o', 'c', 'k'});
    TheFakePlatform().unreadable.insert(TempName(0));
    EXPECT_EQ(CreateAndClose(LaunchMode::Program), TempName(1));
    EXPECT_EQ(ReadWholeFile(TempName(0)), Bytes({'l', 'o', 'c', 'k'}));
}

TEST_F(TempNames, OnlyTheLastNameFreeIsTaken) {
    for (int n = 0; n < 499; ++n) {
        WriteWholeFile(TempName(n), {});
    }
    EXPECT_EQ(CreateAndClose(LaunchMode::Program), TempName(499));
    // .dll names are counted apart.
    EXPECT_EQ(CreateAndClose(LaunchMode::Library), TempName(0, "dll"));
}

TEST_F(TempNames, AllFiveHundredTakenFailsTheExtraction) {
    for (int n = 0; n < 500; ++n) {
        WriteWholeFile(TempName(n), {});
    }
    ContainerFile c;
    c.Add({0});
    PayloadSlot image = c.Add(LiteralStream({'x'}));
    WriteSetup(c.Finish(MakeTrailer(image, {0, 0}, {})));
    EXPECT_EQ(ExtractSecondarySetup(), 0);
    EXPECT_STREQ(errorLatch.text, KIV_MSG_NO_TEMP_FILE);
    EXPECT_FALSE(FileExists(TempName(500)));
}

TEST_F(TempNames, ADirectoryTooLongForAnyNameFailsWithoutOverrun) {
    // 250 characters: even "\_setup0.exe" (12) would run past 255.
    std::string longDir = dir.path() + "/" + std::string(250 - dir.path().size() - 1, 'd') + "\\";
    TheFakePlatform().tempPath = longDir;
    EXPECT_EQ(CreateAndClose(LaunchMode::Program), "");
    EXPECT_EQ(tempSetupPath[kPathBufferSize - 1], 0);
}

TEST_F(TempNames, ADirectoryThatFitsOnlyShortNamesUsesThem) {
    // 243 + 12 = 255 fits; 13-character names (n >= 10) do not.
    std::string d = dir.path() + "/" + std::string(243 - dir.path().size() - 1, 'd');
    TheFakePlatform().tempPath = d;
    for (int n = 0; n < 10; ++n) {
        WriteWholeFile(d + "\\_setup" + std::to_string(n) + ".exe", {});
    }
    EXPECT_EQ(CreateAndClose(LaunchMode::Program), "");
}

#ifndef _WIN32  // on Windows the name alone lands in the root folder of the drive
TEST_F(TempNames, NoTemporaryDirectoryUsesTheNameAlone) {
    TheFakePlatform().hasTempPath = false;
    char cwd[4096];
    ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
    ASSERT_EQ(chdir(dir.path().c_str()), 0);
    std::string name = CreateAndClose(LaunchMode::Program);
    bool created = FileExists(dir.File("\\_setup0.exe"));
    ASSERT_EQ(chdir(cwd), 0);
    EXPECT_EQ(name, "\\_setup0.exe");
    EXPECT_TRUE(created);
}
#endif

// --- Blob copies ---------------------------------------------------------

struct BlobFailure {
    const char* what;
    size_t blob1Size;     // bytes present in the file
    uint32_t blob1Claim;  // bytes the trailer claims
};

class BlobPastTheEnd : public Extraction, public ::testing::WithParamInterface<BlobFailure> {};

TEST_P(BlobPastTheEnd, StopsAfterTheBlobsBeforeIt) {
    // Blob 1 is the last piece before the trailer but claims to run on past
    // the end of the file; the trailer's own bytes are read as its tail, so
    // claim more than the trailer can supply.
    Bytes image = Pattern(5000, 9), b0 = Pattern(300, 10), b1 = Pattern(GetParam().blob1Size, 11);
    ContainerFile c;
    c.Add({0});
    PayloadSlot img = c.Add(LiteralStream(image));
    PayloadSlot s0 = c.Add(b0);
    PayloadSlot s1 = c.Add(b1);
    s1.length = GetParam().blob1Claim;
    PayloadSlot s2 = {s0.offset, 5}, s3 = {s0.offset, 7};
    WriteSetup(c.Finish(MakeTrailer(img, {0, 0}, {s0, s1, s2, s3})));

    EXPECT_EQ(ExtractSecondarySetup(), 0) << GetParam().what;
    EXPECT_STREQ(errorLatch.text, KIV_MSG_COPY_FAILED);
    // The file stays, with the image and blob 0 and whole chunks of blob 1
    // that could be read, and no trailer.
    Bytes out = ReadWholeFile(TempName(0));
    ASSERT_GE(out.size(), image.size() + b0.size());
    EXPECT_EQ(Bytes(out.begin(), out.begin() + long(image.size() + b0.size())),
              Concat({image, b0}));
    EXPECT_EQ((out.size() - image.size() - b0.size()) % 4096, 0u);
    EXPECT_LT(out.size() - image.size() - b0.size(), size_t(GetParam().blob1Claim));
}

INSTANTIATE_TEST_SUITE_P(
    ChunkEdges, BlobPastTheEnd,
    ::testing::Values(BlobFailure{"small blob one byte short", 10, 10 + kTrailerSize + 1},
                      BlobFailure{"exactly one chunk short", 4096 - kTrailerSize, 4097},
                      BlobFailure{"second chunk short", 8192 - kTrailerSize, 8193},
                      BlobFailure{"claims 4 GiB", 100, 0xFFFFFFFFu}));

TEST_F(Extraction, ABlobOffsetOf2To31FailsTheCopy) {
    ContainerFile c;
    c.Add({0});
    PayloadSlot img = c.Add(LiteralStream({'x'}));
    WriteSetup(c.Finish(MakeTrailer(img, {0, 0}, {{0x80000000u, 4}})));
    EXPECT_EQ(ExtractSecondarySetup(), 0);
    EXPECT_STREQ(errorLatch.text, KIV_MSG_COPY_FAILED);
    EXPECT_EQ(ReadWholeFile(TempName(0)), Bytes({'x'}));
}

// --- Signed setups -------------------------------------------------------

class SignedSetups : public Extraction, public ::testing::WithParamInterface<int> {};

// Signing puts a certificate table behind the trailer; the secondary setup
// must come out byte for byte as from the unsigned file, whatever padding
// the file size needs.
TEST_P(SignedSetups, ExtractExactlyLikeTheUnsignedFile) {
    PeLayout layout;
    ContainerFile c;
    c.Add(MakePeImage(layout));
    PayloadSlot image = c.Add(LiteralStream(Pattern(7000, 3)));
    PayloadSlot s0 = c.Add(Pattern(5000 + size_t(GetParam()), 4));
    PayloadSlot s2 = c.Add(Pattern(33, 5));
    Bytes plain = c.Finish(MakeTrailer(image, {0, 0}, {s0, {0, 0}, s2}));

    WriteSetup(plain);
    ASSERT_EQ(ExtractSecondarySetup(), 1) << errorLatch.text;
    Bytes fromPlain = ReadWholeFile(tempSetupPath);
    std::remove(tempSetupPath);

    WriteSetup(AppendCertificateTable(plain, layout, 2048));
    ASSERT_EQ(ExtractSecondarySetup(), 1) << errorLatch.text;
    EXPECT_EQ(ReadWholeFile(tempSetupPath), fromPlain);
    EXPECT_EQ(fromPlain.size(), 7000u + 5000u + size_t(GetParam()) + 33u + kTrailerSize);
}

INSTANTIATE_TEST_SUITE_P(SizeMod8, SignedSetups, ::testing::Range(0, 8));

// --- ShortenPath ----------------------------------------------------------

TEST_F(Extraction, ShortenPathKeepsThePathWhenNoShortFormFits) {
    char path[kPathBufferSize] = "C:\\Long Folder\\file.exe";
    ShortenPath(path);
    EXPECT_STREQ(path, "C:\\Long Folder\\file.exe");  // no short form
    TheFakePlatform().shortPaths[path] = std::string(300, 'S');
    ShortenPath(path);
    EXPECT_STREQ(path, "C:\\Long Folder\\file.exe");  // too long for the buffer
    TheFakePlatform().shortPaths[path] = "C:\\LONGFO~1\\file.exe";
    ShortenPath(path);
    EXPECT_STREQ(path, "C:\\LONGFO~1\\file.exe");
}

}  // namespace
