#ifndef TESSELLUNE_TEST_TESTDATA_H
#define TESSELLUNE_TEST_TESTDATA_H

// Real-world test files: those that travel with the code in tests/data/, and
// those whose licence keeps them outside the repository, in
// ../shared/testdata/ beside it when that is there.

#include <gtest/gtest.h>

#include <string>

// The folder tests/data/<name>; always there.
std::string testDataDir(const char* name);

// The folder ../shared/testdata/<name>, "" when it is absent.
std::string outsideTestDataDir(const char* name);

// Skips the test, naming the folder and the licences that keep it out,
// when the outside folder is absent.
#define REQUIRE_OUTSIDE_TEST_DATA(variable, name, licences)                                    \
    std::string variable = outsideTestDataDir(name);                                          \
    if (variable.empty())                                                                     \
        GTEST_SKIP() << licences << " test data stays outside the repository: ../shared/testdata/" \
                     << (name) << " absent"

#endif
