// Reads the facts of a built PE file that the built-file tests check:
// headers, sections, imports, exports and the resource tree.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace pe {

struct Section {
    std::string name;
    DWORD characteristics = 0;
    DWORD rawSize = 0;
    DWORD virtualSize = 0;
};

struct Export {
    std::string name;  // empty for an export by ordinal only
    WORD ordinal = 0;
};

// A resource leaf: type, name and language, each an id or a string.
struct Resource {
    WORD typeId = 0;  // 0 when the type is named
    std::wstring typeName;
    WORD nameId = 0;  // 0 when the resource is named
    std::wstring name;
    WORD language = 0;
    std::string data;
};

struct PeFile {
    bool Load(const std::string& path);

    bool is32Bit = false;  // PE32 (true) or PE32+ (false)
    WORD machine = 0;
    WORD subsystem = 0;
    WORD characteristics = 0;
    std::vector<Section> sections;
    std::vector<std::string> importedDlls;  // as named in the import table
    std::string exportName;                 // the export directory's name
    std::vector<Export> exports;
    bool hasResourceDirectory = false;
    std::vector<Resource> resources;

    const Section* FindSection(const std::string& name) const;
    // How often a DLL is named in the import table, in any letter case.
    size_t ImportCount(const std::string& dll) const;

private:
    std::string bytes_;
    std::vector<IMAGE_SECTION_HEADER> headers_;
    // Offset in the file of a relative virtual address, or 0.
    DWORD FileOffset(DWORD rva) const;
    std::string StringAt(DWORD rva) const;
    bool Read(DWORD offset, void* out, size_t size) const;
    void ReadResources(DWORD rva, DWORD size);
};

// True for the DLLs that Windows always loads from its own directory.
bool IsSystemDll(const std::string& name);

}  // namespace pe
