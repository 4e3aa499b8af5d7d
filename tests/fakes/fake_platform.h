// A platform served from memory for host tests: the module path, the
// temporary directory and the short forms are what the test says, files are
// real files (under a test folder), and chosen paths can be made unreadable
// even for root.
#ifndef KIV_TESTS_FAKES_FAKE_PLATFORM_H
#define KIV_TESTS_FAKES_FAKE_PLATFORM_H

#include <map>
#include <set>
#include <string>

struct FakePlatform {
    std::string modulePath;
    bool hasTempPath = true;
    std::string tempPath;
    std::map<std::string, std::string> shortPaths;  // long path -> short form
    std::set<std::string> unreadable;               // opens for reading fail
    std::set<std::string> uncreatable;              // opens for writing fail
    int shortPathCalls = 0;
};

// The fake that the Platform* functions consult; tests reset it in SetUp.
FakePlatform& TheFakePlatform();

#endif
