// The built setupstub.exe: a GUI program of the build's bitness that
// imports system DLLs only and carries exactly its dialog, its picture and
// its string table, each byte as the dialog manager and LoadString read it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "pe_file.h"
#include "wine_test.h"

namespace {

const WORD kDialogId = 115;
const WORD kBitmapId = 107;
const WORD kButtonAtom = 0x0080;
const WORD kStaticAtom = 0x0082;
const WORD kOrdinalMark = 0xFFFF;

std::string SetupPath() { return wt::DistFile("setupstub.exe"); }

class SetupFile : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(file_.Load(SetupPath())) << SetupPath(); }

    const pe::Resource* Find(WORD type, WORD name) const
    {
        for (const pe::Resource& r : file_.resources)
            if (r.typeId == type && r.nameId == name)
                return &r;
        return nullptr;
    }

    pe::PeFile file_;
};

TEST_F(SetupFile, IsAGuiProgramOfTheBuildsBitness)
{
    EXPECT_EQ(file_.is32Bit, sizeof(void*) == 4);
    EXPECT_EQ(file_.machine, sizeof(void*) == 4 ? IMAGE_FILE_MACHINE_I386
                                                : IMAGE_FILE_MACHINE_AMD64);
    EXPECT_EQ(file_.subsystem, IMAGE_SUBSYSTEM_WINDOWS_GUI);
    EXPECT_FALSE(file_.characteristics & IMAGE_FILE_DLL);
}

TEST_F(SetupFile, ImportsSystemDllsOnly)
{
    ASSERT_FALSE(file_.importedDlls.empty());
    for (const std::string& dll : file_.importedDlls)
        EXPECT_TRUE(pe::IsSystemDll(dll)) << dll;
    // What the program cannot do without: processes, windows and the
    // registry.
    for (const char* needed : {"kernel32.dll", "user32.dll", "shlwapi.dll"})
        EXPECT_EQ(file_.ImportCount(needed), 1u) << needed;
    // What only some paths need is loaded from the system folder by path
    // when first used, not imported.
    for (const char* bound : {"version.dll", "shell32.dll", "ole32.dll"})
        EXPECT_EQ(file_.ImportCount(bound), 0u) << bound;
}

TEST_F(SetupFile, HasExactlyTheDialogTheBitmapAndOneStringBlock)
{
    std::vector<std::pair<WORD, WORD>> found;
    for (const pe::Resource& r : file_.resources) {
        EXPECT_TRUE(r.typeName.empty() && r.name.empty()) << "named resource";
        found.push_back({r.typeId, r.nameId});
    }
    // Strings 2 to 14 all live in block 1 (ids 0 to 15). No icon, version
    // block, manifest or anything else.
    std::vector<std::pair<WORD, WORD>> expected = {
        {static_cast<WORD>(2), kBitmapId},   // RT_BITMAP
        {static_cast<WORD>(5), kDialogId},   // RT_DIALOG
        {static_cast<WORD>(6), 1},           // RT_STRING
    };
    std::sort(found.begin(), found.end());
    EXPECT_EQ(found, expected);
}

// ---- Dialog 115 ----------------------------------------------------------

// Reads the template as the dialog manager does.
class TemplateReader {
public:
    explicit TemplateReader(const std::string& bytes) : bytes_(bytes) {}
    bool ok() const { return ok_; }
    size_t offset() const { return offset_; }

    template <typename T>
    T Get()
    {
        T value{};
        if (offset_ + sizeof(T) > bytes_.size()) {
            ok_ = false;
            return value;
        }
        memcpy(&value, bytes_.data() + offset_, sizeof(T));
        offset_ += sizeof(T);
        return value;
    }
    std::wstring String()
    {
        std::wstring text;
        for (WORD c = Get<WORD>(); ok_ && c; c = Get<WORD>())
            text += static_cast<wchar_t>(c);
        return text;
    }
    // A name or ordinal field: empty, 0xFFFF and a number, or a string.
    // Ordinals come back as "#<number>".
    std::wstring NameOrOrdinal()
    {
        WORD first = Get<WORD>();
        if (first == 0)
            return L"";
        if (first == kOrdinalMark)
            return L"#" + std::to_wstring(Get<WORD>());
        offset_ -= sizeof(WORD);
        return String();
    }
    void AlignToDword() { offset_ = (offset_ + 3) & ~size_t(3); }

private:
    const std::string& bytes_;
    size_t offset_ = 0;
    bool ok_ = true;
};

struct Control {
    WORD id;
    std::wstring windowClass;
    std::wstring text;
    DWORD style;
    short x, y, cx, cy;
};

bool operator==(const Control& a, const Control& b)
{
    return a.id == b.id && a.windowClass == b.windowClass && a.text == b.text &&
           a.style == b.style && a.x == b.x && a.y == b.y && a.cx == b.cx && a.cy == b.cy;
}

void PrintTo(const Control& c, std::ostream* out)
{
    *out << "{id " << c.id << ", class " << ::testing::PrintToString(c.windowClass) << ", text "
         << ::testing::PrintToString(c.text) << ", style 0x" << std::hex << c.style << std::dec
         << ", " << c.x << "," << c.y << " " << c.cx << "x" << c.cy << "}";
}

const std::wstring kButton = L"#128";  // predefined class atoms
const std::wstring kStatic = L"#130";
const DWORD kChild = WS_CHILD | WS_VISIBLE;

// In template order, which is also the tab order.
const Control kControls[] = {
    {1034, kButton, L"&Continue", kChild | WS_TABSTOP | BS_DEFPUSHBUTTON, 157, 147, 60, 16},
    {1035, kButton, L"&Exit Setup", kChild | WS_TABSTOP | BS_PUSHBUTTON, 225, 147, 60, 16},
    {1060, kStatic, L"#107", kChild | SS_BITMAP | SS_CENTERIMAGE | SS_SUNKEN, 7, 7, 82, 124},
    {51, kStatic, L"", kChild | SS_ETCHEDHORZ | SS_SUNKEN, 7, 140, 278, 1},
    {1061, kStatic, L"", kChild | WS_GROUP | SS_LEFTNOWORDWRAP, 102, 8, 180, 14},
    {1062, kStatic, L"", kChild | WS_GROUP | SS_LEFT, 102, 123, 179, 10},
    {1001, kButton, L"View Snapnote Info after installation",
     kChild | WS_TABSTOP | BS_AUTOCHECKBOX, 102, 76, 142, 10},
    {1002, kButton, L"Open old data on program startup", kChild | WS_TABSTOP | BS_AUTOCHECKBOX,
     102, 90, 142, 10},
    {1059, kStatic, L"", kChild | WS_GROUP | SS_LEFT, 102, 27, 179, 40},
};

TEST_F(SetupFile, DialogTemplateIsExactlyTheOptionsDialog)
{
    const pe::Resource* dialog = Find(5, kDialogId);
    ASSERT_NE(dialog, nullptr);
    TemplateReader in(dialog->data);
    // A plain DLGTEMPLATE: an extended one starts with version 1, 0xFFFF.
    DWORD style = in.Get<DWORD>();
    ASSERT_NE(style, 0xFFFF0001u) << "extended dialog template";
    EXPECT_EQ(style, static_cast<DWORD>(WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | DS_MODALFRAME |
                                        DS_CENTER | DS_SETFONT))
        << std::hex << style;
    EXPECT_EQ(style & (WS_POPUP | WS_VISIBLE | WS_THICKFRAME), 0u);
    EXPECT_EQ(in.Get<DWORD>(), 0u) << "extended style";
    WORD count = in.Get<WORD>();
    short x = in.Get<short>(), y = in.Get<short>(), cx = in.Get<short>(), cy = in.Get<short>();
    EXPECT_EQ(x, 0);
    EXPECT_EQ(y, 0);
    EXPECT_EQ(cx, 296);
    EXPECT_EQ(cy, 170);
    EXPECT_EQ(in.NameOrOrdinal(), L"") << "menu";
    EXPECT_EQ(in.NameOrOrdinal(), L"") << "window class";
    EXPECT_EQ(in.String(), L"Image Lumi-Vault Setup");
    EXPECT_EQ(in.Get<WORD>(), 8) << "font size";
    EXPECT_EQ(in.String(), L"MS Sans Serif");
    ASSERT_TRUE(in.ok());

    ASSERT_EQ(count, sizeof(kControls) / sizeof(kControls[0]));
    for (const Control& expected : kControls) {
        in.AlignToDword();
        Control got;
        got.style = in.Get<DWORD>();
        DWORD exStyle = in.Get<DWORD>();
        got.x = in.Get<short>();
        got.y = in.Get<short>();
        got.cx = in.Get<short>();
        got.cy = in.Get<short>();
        got.id = in.Get<WORD>();
        got.windowClass = in.NameOrOrdinal();
        got.text = in.NameOrOrdinal();
        WORD creationData = in.Get<WORD>();
        ASSERT_TRUE(in.ok()) << "template ends early";
        EXPECT_EQ(got, expected);
        EXPECT_EQ(exStyle, 0u) << "control " << expected.id;
        EXPECT_EQ(creationData, 0u) << "control " << expected.id;
    }
    // Nothing after the last control but alignment padding.
    EXPECT_LE(dialog->data.size() - in.offset(), 3u);
}

// ---- Bitmap 107 ----------------------------------------------------------

TEST_F(SetupFile, BitmapIsA256ColourBottomUpPicture)
{
    const pe::Resource* bitmap = Find(2, kBitmapId);
    ASSERT_NE(bitmap, nullptr);
    const std::string& bytes = bitmap->data;
    BITMAPINFOHEADER header;
    ASSERT_GE(bytes.size(), sizeof(header));
    memcpy(&header, bytes.data(), sizeof(header));
    EXPECT_EQ(header.biSize, sizeof(BITMAPINFOHEADER));
    EXPECT_EQ(header.biWidth, 121);
    EXPECT_EQ(header.biHeight, 200) << "positive: rows bottom-up";
    EXPECT_EQ(header.biPlanes, 1);
    EXPECT_EQ(header.biBitCount, 8);
    EXPECT_EQ(header.biCompression, static_cast<DWORD>(BI_RGB));
    EXPECT_TRUE(header.biClrUsed == 0 || header.biClrUsed == 256) << header.biClrUsed;

    const size_t tableSize = 256 * sizeof(RGBQUAD);
    const size_t stride = (121 + 3) & ~3;
    ASSERT_GE(bytes.size(), sizeof(header) + tableSize + stride * 200);
    // The ground is teal: the picture's corners show a colour with much
    // green and blue and little red.
    const BYTE* pixels = reinterpret_cast<const BYTE*>(bytes.data()) + sizeof(header) + tableSize;
    const RGBQUAD* table = reinterpret_cast<const RGBQUAD*>(bytes.data() + sizeof(header));
    const size_t corners[] = {0, 120, stride * 199, stride * 199 + 120};
    for (size_t corner : corners) {
        RGBQUAD colour = table[pixels[corner]];
        EXPECT_LT(colour.rgbRed + 40, colour.rgbGreen) << "corner at " << corner;
        EXPECT_LT(colour.rgbRed + 40, colour.rgbBlue) << "corner at " << corner;
    }
}

// ---- String table --------------------------------------------------------

const struct {
    UINT id;
    const char* text;
} kStrings[] = {
    {2, "Newer version of Image Lumi-Vault has been found on your computer. \r\n\r\n"
        "If you continue the newer version will be replaced with the older one."},
    {3, "Older version of Image Lumi-Vault has been found on your computer. It will be "
        "automatically removed before installation continues."},
    {4, "This version of Image Lumi-Vault is already installed on your computer. \r\n\r\n"
        "If you continue the current version will be removed and installed again."},
    {9, "Click \"Continue\" to proceed."},
    {10, "Click \"Continue\" to proceed."},
    {11, "Previous installation is detected"},
    {12, "Setup options"},
    {13, "If you leave this option checked Snapnote file will be opened in the Microsoft "
         "Internet Explorer window after installation is complete."},
    {14, "Some Image Lumi-Vault files are in use. If the previous version of Image Lumi-Vault "
         "is running, please close it and click the Retry button. If this does not help, click "
         "the Cancel button, reboot your computer, and launch the installation program again."},
};

TEST(SetupFileStrings, LoadToTheLetter)
{
    HMODULE module = LoadLibraryExA(SetupPath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(module, nullptr) << GetLastError();
    std::set<UINT> present;
    for (const auto& s : kStrings) {
        char buffer[1024] = "";
        int length = LoadStringA(module, s.id, buffer, sizeof(buffer));
        EXPECT_EQ(std::string(buffer, length > 0 ? length : 0), s.text) << "string " << s.id;
        present.insert(s.id);
    }
    // The rest of the block is empty.
    for (UINT id = 0; id < 16; ++id) {
        if (present.count(id))
            continue;
        char buffer[1024] = "";
        EXPECT_EQ(LoadStringA(module, id, buffer, sizeof(buffer)), 0) << "string " << id;
    }
    FreeLibrary(module);
}

}  // namespace
