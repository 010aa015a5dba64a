// The built shadewin.dll: what loaders and the window manager rely on.
#include <gtest/gtest.h>

#include <string>

#include "pe_file.h"
#include "wine_test.h"

namespace {

class ShadewinFile : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(file_.Load(wt::DistFile("shadewin.dll"))); }
    pe::PeFile file_;
};

TEST_F(ShadewinFile, IsADllOfTheBuildsBitness)
{
    EXPECT_EQ(file_.is32Bit, sizeof(void*) == 4);
    EXPECT_NE(file_.characteristics & IMAGE_FILE_DLL, 0);
}

TEST_F(ShadewinFile, ExportsTheThreeFunctionsByNameWithTheirOrdinals)
{
    EXPECT_EQ(file_.exportName, "shadewin.dll");
    struct Expected {
        const char* name;
        WORD ordinal;
    };
    const Expected kExports[] = {{"InitHook", 2}, {"TermHook", 3}, {"GetThreadID", 4}};
    ASSERT_EQ(file_.exports.size(), 3u);
    for (const Expected& expected : kExports) {
        bool found = false;
        for (const pe::Export& e : file_.exports)
            if (e.name == expected.name) {
                found = true;
                EXPECT_EQ(e.ordinal, expected.ordinal) << e.name;
            }
        EXPECT_TRUE(found) << expected.name << " not exported by name";
    }
}

// The record shared by every process: initialised (all zero) data in a
// readable, writable, shared section that holds nothing else.
TEST_F(ShadewinFile, SharedSectionHoldsTheRecordAsInitialisedData)
{
    const pe::Section* section = file_.FindSection("SEGHOOK");
    ASSERT_NE(section, nullptr);
    const DWORD kAccess = IMAGE_SCN_MEM_SHARED | IMAGE_SCN_MEM_READ | IMAGE_SCN_MEM_WRITE;
    EXPECT_EQ(section->characteristics & kAccess, kAccess);
    EXPECT_NE(section->characteristics & IMAGE_SCN_CNT_INITIALIZED_DATA, 0u);
    EXPECT_EQ(section->characteristics &
                  (IMAGE_SCN_CNT_UNINITIALIZED_DATA | IMAGE_SCN_MEM_EXECUTE | IMAGE_SCN_CNT_CODE),
              0u);
    // hookHandle, targetProcess, targetWindow; the compiler may pad the
    // record up to its alignment of at most 32 bytes, room for nothing else.
    const DWORD kRecordSize = sizeof(HHOOK) + sizeof(PROCESS_INFORMATION) + sizeof(HWND);
    const DWORD kMaxAlignment = 32;
    EXPECT_GE(section->virtualSize, kRecordSize);
    EXPECT_LE(section->virtualSize, (kRecordSize + kMaxAlignment - 1) / kMaxAlignment * kMaxAlignment);
    EXPECT_GE(section->rawSize, kRecordSize) << "the record has no bytes in the file";
}

TEST_F(ShadewinFile, HasNoResourcesAndImportsSystemDllsOnly)
{
    EXPECT_FALSE(file_.hasResourceDirectory);
    EXPECT_TRUE(file_.resources.empty());
    for (const std::string& dll : file_.importedDlls)
        EXPECT_TRUE(pe::IsSystemDll(dll)) << dll;
    EXPECT_GE(file_.ImportCount("user32.dll"), 1u) << "the hook functions come from user32.dll";
}

}  // namespace
