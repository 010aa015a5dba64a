// A small PE reader for the built-file tests. It reads the file's bytes
// itself, so nothing of the file is loaded or run.
#include "pe_file.h"

#include <algorithm>
#include <cstring>

namespace pe {

namespace {

const WORD kPe32Magic = 0x10B;
const WORD kPe32PlusMagic = 0x20B;
const DWORD kSubdirectoryBit = 0x80000000u;

std::string Lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(tolower(c)); });
    return text;
}

}  // namespace

bool PeFile::Read(DWORD offset, void* out, size_t size) const
{
    if (offset > bytes_.size() || size > bytes_.size() - offset)
        return false;
    memcpy(out, bytes_.data() + offset, size);
    return true;
}

DWORD PeFile::FileOffset(DWORD rva) const
{
    for (const auto& header : headers_)
        if (rva >= header.VirtualAddress &&
            rva < header.VirtualAddress + std::max(header.Misc.VirtualSize, header.SizeOfRawData))
            return rva - header.VirtualAddress + header.PointerToRawData;
    return 0;
}

std::string PeFile::StringAt(DWORD rva) const
{
    DWORD offset = FileOffset(rva);
    if (!offset || offset >= bytes_.size())
        return "";
    size_t end = bytes_.find('\0', offset);
    return bytes_.substr(offset, end == std::string::npos ? std::string::npos : end - offset);
}

const Section* PeFile::FindSection(const std::string& name) const
{
    for (const Section& section : sections)
        if (section.name == name)
            return &section;
    return nullptr;
}

size_t PeFile::ImportCount(const std::string& dll) const
{
    std::string wanted = Lower(dll);
    size_t count = 0;
    for (const std::string& name : importedDlls)
        count += Lower(name) == wanted ? 1 : 0;
    return count;
}

bool PeFile::Load(const std::string& path)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD size = GetFileSize(file, nullptr);
    bytes_.assign(size, '\0');
    DWORD got = 0;
    BOOL ok = ReadFile(file, &bytes_[0], size, &got, nullptr);
    CloseHandle(file);
    if (!ok || got != size)
        return false;

    IMAGE_DOS_HEADER dos;
    if (!Read(0, &dos, sizeof(dos)) || dos.e_magic != IMAGE_DOS_SIGNATURE)
        return false;
    DWORD signature = 0;
    IMAGE_FILE_HEADER fileHeader;
    DWORD ntOffset = static_cast<DWORD>(dos.e_lfanew);
    if (!Read(ntOffset, &signature, 4) || signature != IMAGE_NT_SIGNATURE ||
        !Read(ntOffset + 4, &fileHeader, sizeof(fileHeader)))
        return false;
    machine = fileHeader.Machine;
    characteristics = fileHeader.Characteristics;
    DWORD optionalOffset = ntOffset + 4 + sizeof(fileHeader);
    WORD magic = 0;
    Read(optionalOffset, &magic, 2);
    IMAGE_DATA_DIRECTORY directories[IMAGE_NUMBEROF_DIRECTORY_ENTRIES] = {};
    if (magic == kPe32Magic) {
        IMAGE_OPTIONAL_HEADER32 optional;
        if (!Read(optionalOffset, &optional, sizeof(optional)))
            return false;
        is32Bit = true;
        subsystem = optional.Subsystem;
        memcpy(directories, optional.DataDirectory, sizeof(directories));
    } else if (magic == kPe32PlusMagic) {
        IMAGE_OPTIONAL_HEADER64 optional;
        if (!Read(optionalOffset, &optional, sizeof(optional)))
            return false;
        is32Bit = false;
        subsystem = optional.Subsystem;
        memcpy(directories, optional.DataDirectory, sizeof(directories));
    } else {
        return false;
    }

    DWORD sectionOffset = optionalOffset + fileHeader.SizeOfOptionalHeader;
    headers_.resize(fileHeader.NumberOfSections);
    for (WORD i = 0; i < fileHeader.NumberOfSections; ++i) {
        IMAGE_SECTION_HEADER& header = headers_[i];
        if (!Read(sectionOffset + i * sizeof(header), &header, sizeof(header)))
            return false;
        Section section;
        section.name.assign(reinterpret_cast<const char*>(header.Name),
                            strnlen(reinterpret_cast<const char*>(header.Name), 8));
        section.characteristics = header.Characteristics;
        section.rawSize = header.SizeOfRawData;
        section.virtualSize = header.Misc.VirtualSize;
        sections.push_back(section);
    }

    const IMAGE_DATA_DIRECTORY& imports = directories[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (imports.VirtualAddress) {
        DWORD offset = FileOffset(imports.VirtualAddress);
        IMAGE_IMPORT_DESCRIPTOR descriptor;
        while (offset && Read(offset, &descriptor, sizeof(descriptor)) && descriptor.Name) {
            importedDlls.push_back(StringAt(descriptor.Name));
            offset += sizeof(descriptor);
        }
    }

    const IMAGE_DATA_DIRECTORY& exportDir = directories[IMAGE_DIRECTORY_ENTRY_EXPORT];
    if (exportDir.VirtualAddress) {
        IMAGE_EXPORT_DIRECTORY table;
        if (Read(FileOffset(exportDir.VirtualAddress), &table, sizeof(table))) {
            exportName = StringAt(table.Name);
            std::vector<Export> byOrdinal(table.NumberOfFunctions);
            for (DWORD i = 0; i < table.NumberOfFunctions; ++i)
                byOrdinal[i].ordinal = static_cast<WORD>(table.Base + i);
            for (DWORD i = 0; i < table.NumberOfNames; ++i) {
                DWORD nameRva = 0;
                WORD index = 0;
                Read(FileOffset(table.AddressOfNames) + i * 4, &nameRva, 4);
                Read(FileOffset(table.AddressOfNameOrdinals) + i * 2, &index, 2);
                if (index < byOrdinal.size())
                    byOrdinal[index].name = StringAt(nameRva);
            }
            for (DWORD i = 0; i < table.NumberOfFunctions; ++i) {
                DWORD address = 0;
                Read(FileOffset(table.AddressOfFunctions) + i * 4, &address, 4);
                if (address)
                    exports.push_back(byOrdinal[i]);
            }
        }
    }

    const IMAGE_DATA_DIRECTORY& resourceDir = directories[IMAGE_DIRECTORY_ENTRY_RESOURCE];
    hasResourceDirectory = resourceDir.VirtualAddress != 0 && resourceDir.Size != 0;
    if (hasResourceDirectory)
        ReadResources(resourceDir.VirtualAddress, resourceDir.Size);
    return true;
}

void PeFile::ReadResources(DWORD rva, DWORD)
{
    DWORD base = FileOffset(rva);
    if (!base)
        return;
    // Entries of one directory level: (id or name, offset of the child).
    auto entries = [&](DWORD offset) {
        std::vector<std::pair<IMAGE_RESOURCE_DIRECTORY_ENTRY, std::wstring>> result;
        IMAGE_RESOURCE_DIRECTORY directory;
        if (!Read(base + offset, &directory, sizeof(directory)))
            return result;
        DWORD count = directory.NumberOfNamedEntries + directory.NumberOfIdEntries;
        for (DWORD i = 0; i < count; ++i) {
            IMAGE_RESOURCE_DIRECTORY_ENTRY entry;
            if (!Read(base + offset + sizeof(directory) + i * sizeof(entry), &entry,
                      sizeof(entry)))
                break;
            std::wstring name;
            if (entry.Name & kSubdirectoryBit) {
                WORD length = 0;
                DWORD nameOffset = base + (entry.Name & ~kSubdirectoryBit);
                Read(nameOffset, &length, 2);
                name.resize(length);
                Read(nameOffset + 2, &name[0], length * 2u);
            }
            result.push_back({entry, name});
        }
        return result;
    };
    for (const auto& type : entries(0)) {
        for (const auto& name : entries(type.first.OffsetToData & ~kSubdirectoryBit)) {
            for (const auto& language : entries(name.first.OffsetToData & ~kSubdirectoryBit)) {
                IMAGE_RESOURCE_DATA_ENTRY data;
                if (!Read(base + language.first.OffsetToData, &data, sizeof(data)))
                    continue;
                Resource resource;
                resource.typeId = type.second.empty() ? static_cast<WORD>(type.first.Name) : 0;
                resource.typeName = type.second;
                resource.nameId = name.second.empty() ? static_cast<WORD>(name.first.Name) : 0;
                resource.name = name.second;
                resource.language = static_cast<WORD>(language.first.Name);
                DWORD offset = FileOffset(data.OffsetToData);
                if (offset && offset <= bytes_.size() && data.Size <= bytes_.size() - offset)
                    resource.data = bytes_.substr(offset, data.Size);
                resources.push_back(resource);
            }
        }
    }
}

bool IsSystemDll(const std::string& name)
{
    static const char* const kSystemDlls[] = {"kernel32.dll", "user32.dll", "gdi32.dll",
                                              "advapi32.dll", "shell32.dll", "shlwapi.dll",
                                              "ole32.dll",    "oleaut32.dll", "msvcrt.dll"};
    std::string lower = Lower(name);
    for (const char* dll : kSystemDlls)
        if (lower == dll)
            return true;
    return false;
}

}  // namespace pe
