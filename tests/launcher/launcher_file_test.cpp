// The built launcher.exe: a GUI program of the build's bitness that imports
// system DLLs only and carries one resource, its icon group, whose five
// images the shell picks from by size and colour depth.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "pe_file.h"
#include "wine_test.h"

namespace {

const WORD kIconGroupId = 101;
const WORD kEnglishUs = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);  // 0x0409

// One image of the group as the icon directory lists it.
struct IconImage {
    BYTE width;
    BYTE height;
    BYTE colourCount;  // 0 for 256 colours
    WORD bitCount;
};
const IconImage kImages[] = {
    {16, 16, 0, 8}, {20, 20, 16, 4}, {20, 20, 0, 8}, {16, 16, 16, 4}, {32, 32, 16, 4}};

#pragma pack(push, 2)
struct GroupIconHeader {
    WORD reserved;
    WORD type;  // 1 for icons
    WORD count;
};
struct GroupIconEntry {
    BYTE width;
    BYTE height;
    BYTE colourCount;
    BYTE reserved;
    WORD planes;
    WORD bitCount;
    DWORD bytes;
    WORD id;  // of the RT_ICON resource holding the image
};
#pragma pack(pop)

BOOL CALLBACK CollectType(HMODULE, LPSTR type, LONG_PTR param)
{
    // Every type we expect is numbered; a named type is kept as ~0.
    reinterpret_cast<std::vector<ULONG_PTR>*>(param)->push_back(
        IS_INTRESOURCE(type) ? reinterpret_cast<ULONG_PTR>(type) : ~ULONG_PTR(0));
    return TRUE;
}

BOOL CALLBACK CollectName(HMODULE, LPCSTR, LPSTR name, LONG_PTR param)
{
    reinterpret_cast<std::vector<ULONG_PTR>*>(param)->push_back(
        IS_INTRESOURCE(name) ? reinterpret_cast<ULONG_PTR>(name) : ~ULONG_PTR(0));
    return TRUE;
}

BOOL CALLBACK CollectLanguage(HMODULE, LPCSTR, LPCSTR, WORD language, LONG_PTR param)
{
    reinterpret_cast<std::vector<WORD>*>(param)->push_back(language);
    return TRUE;
}

class LauncherFile : public ::testing::Test {
protected:
    void SetUp() override
    {
        path_ = wt::DistFile("launcher.exe");
        ASSERT_TRUE(file_.Load(path_));
        module_ = LoadLibraryExA(path_.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
        ASSERT_NE(module_, nullptr);
    }
    void TearDown() override
    {
        if (module_)
            FreeLibrary(module_);
    }

    // The data of one resource, or empty.
    std::string ResourceData(LPCSTR type, WORD id, WORD language)
    {
        HRSRC info = FindResourceExA(module_, type, MAKEINTRESOURCEA(id), language);
        if (!info)
            return "";
        HGLOBAL loaded = LoadResource(module_, info);
        const char* data = static_cast<const char*>(LockResource(loaded));
        return data ? std::string(data, SizeofResource(module_, info)) : "";
    }

    std::string path_;
    pe::PeFile file_;
    HMODULE module_ = nullptr;
};

TEST_F(LauncherFile, IsAGuiProgramOfTheBuildsBitness)
{
    EXPECT_EQ(file_.is32Bit, sizeof(void*) == 4);
    EXPECT_EQ(file_.subsystem, IMAGE_SUBSYSTEM_WINDOWS_GUI);
    EXPECT_EQ(file_.characteristics & IMAGE_FILE_DLL, 0);
    EXPECT_NE(file_.characteristics & IMAGE_FILE_EXECUTABLE_IMAGE, 0);
}

TEST_F(LauncherFile, ImportsSystemDllsOnly)
{
    ASSERT_FALSE(file_.importedDlls.empty());
    for (const std::string& dll : file_.importedDlls)
        EXPECT_TRUE(pe::IsSystemDll(dll)) << dll;
    // COM, automation strings, the shell and its registry reads are linked
    // at build time, not looked up at run time.
    for (const char* needed : {"ole32.dll", "oleaut32.dll", "shell32.dll", "shlwapi.dll"})
        EXPECT_EQ(file_.ImportCount(needed), 1u) << needed;
}

TEST_F(LauncherFile, CarriesOnlyIconGroup101InUsEnglish)
{
    std::vector<ULONG_PTR> types;
    EnumResourceTypesA(module_, CollectType, reinterpret_cast<LONG_PTR>(&types));
    std::set<ULONG_PTR> typeSet(types.begin(), types.end());
    EXPECT_EQ(typeSet, (std::set<ULONG_PTR>{reinterpret_cast<ULONG_PTR>(RT_ICON),
                                            reinterpret_cast<ULONG_PTR>(RT_GROUP_ICON)}));

    std::vector<ULONG_PTR> groups;
    EnumResourceNamesA(module_, RT_GROUP_ICON, CollectName, reinterpret_cast<LONG_PTR>(&groups));
    EXPECT_EQ(groups, std::vector<ULONG_PTR>{kIconGroupId});

    std::vector<WORD> languages;
    EnumResourceLanguagesA(module_, RT_GROUP_ICON, MAKEINTRESOURCEA(kIconGroupId),
                           CollectLanguage, reinterpret_cast<LONG_PTR>(&languages));
    EXPECT_EQ(languages, std::vector<WORD>{kEnglishUs});

    // The file's own resource tree agrees, leaf by leaf.
    ASSERT_FALSE(file_.resources.empty());
    for (const pe::Resource& leaf : file_.resources) {
        EXPECT_TRUE(leaf.typeId == reinterpret_cast<ULONG_PTR>(RT_ICON) ||
                    leaf.typeId == reinterpret_cast<ULONG_PTR>(RT_GROUP_ICON))
            << "type " << leaf.typeId;
        EXPECT_EQ(leaf.language, kEnglishUs) << "type " << leaf.typeId << " id " << leaf.nameId;
    }
}

TEST_F(LauncherFile, IconGroupListsFiveImagesInOrder)
{
    std::string group = ResourceData(RT_GROUP_ICON, kIconGroupId, kEnglishUs);
    ASSERT_GE(group.size(), sizeof(GroupIconHeader));
    const GroupIconHeader* header = reinterpret_cast<const GroupIconHeader*>(group.data());
    EXPECT_EQ(header->reserved, 0);
    EXPECT_EQ(header->type, 1);
    const size_t kCount = sizeof(kImages) / sizeof(kImages[0]);
    ASSERT_EQ(header->count, kCount);
    ASSERT_EQ(group.size(), sizeof(GroupIconHeader) + kCount * sizeof(GroupIconEntry));
    const GroupIconEntry* entries =
        reinterpret_cast<const GroupIconEntry*>(group.data() + sizeof(GroupIconHeader));

    std::set<ULONG_PTR> groupIds;
    for (size_t i = 0; i < kCount; ++i) {
        const GroupIconEntry& entry = entries[i];
        const IconImage& expected = kImages[i];
        SCOPED_TRACE("image " + std::to_string(i));
        EXPECT_EQ(entry.width, expected.width);
        EXPECT_EQ(entry.height, expected.height);
        EXPECT_EQ(entry.colourCount, expected.colourCount);
        EXPECT_EQ(entry.bitCount, expected.bitCount);
        EXPECT_EQ(entry.planes, 1);
        groupIds.insert(entry.id);

        // The image itself is what the group says it is, and loads.
        std::string image = ResourceData(RT_ICON, entry.id, kEnglishUs);
        ASSERT_EQ(image.size(), entry.bytes);
        ASSERT_GE(image.size(), sizeof(BITMAPINFOHEADER));
        const BITMAPINFOHEADER* bitmap = reinterpret_cast<const BITMAPINFOHEADER*>(image.data());
        EXPECT_EQ(bitmap->biWidth, expected.width);
        EXPECT_EQ(bitmap->biHeight, 2 * expected.height);  // colour rows, then the mask
        EXPECT_EQ(bitmap->biBitCount, expected.bitCount);
        HICON icon = CreateIconFromResourceEx(
            reinterpret_cast<BYTE*>(&image[0]), static_cast<DWORD>(image.size()), TRUE,
            0x00030000, expected.width, expected.height, LR_DEFAULTCOLOR);
        EXPECT_NE(icon, nullptr);
        if (icon)
            DestroyIcon(icon);
    }

    // No image outside the group.
    std::vector<ULONG_PTR> icons;
    EnumResourceNamesA(module_, RT_ICON, CollectName, reinterpret_cast<LONG_PTR>(&icons));
    EXPECT_EQ(std::set<ULONG_PTR>(icons.begin(), icons.end()), groupIds);
    EXPECT_EQ(icons.size(), kCount);
}

}  // namespace
