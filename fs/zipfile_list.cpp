// The path helpers of the zip reader and the listing of one archive folder.
#include "fs/zipfile.h"

#include <cctype>
#include <cstring>
#include <set>
#include <strings.h>

namespace
{
// Position of the last `sep` (or of either separator) before the final character, or npos.
size_t LastBeforeFinal(const std::string& s, const char* seps)
{
    if (s.size() < 2)
        return std::string::npos;
    for (size_t i = s.size() - 1; i-- > 0;)
    {
        if (strchr(seps, s[i]))
            return i;
    }
    return std::string::npos;
}

std::string LowerCase(std::string text)
{
    for (char& c : text)
        c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    return text;
}
} // namespace

std::string ZipDirPart(const std::string& path)
{
    size_t slash = LastBeforeFinal(path, "/");
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string ZipFilePart(const std::string& path)
{
    size_t slash = LastBeforeFinal(path, "/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string ZipExtension(const std::string& path)
{
    size_t dot = LastBeforeFinal(path, ".");
    return dot == std::string::npos ? std::string() : path.substr(dot + 1);
}

void cZipFile::list(const char* pattern, std::vector<std::string>& names) const
{
    if (!pattern)
        return;
    std::string wantedDir = ZipDirPart(pattern);
    std::string wantedExt = ZipExtension(pattern);
    bool all = !wantedExt.empty() && wantedExt[0] == '*';

    // Many archives hold only file members, so a folder may exist only in the paths of what
    // lies inside it. Such a folder is listed once, where its first member lies; a folder with
    // a record of its own is listed at its record only.
    std::set<std::string> folders;
    if (all)
    {
        for (const ZipEntry& entry : entries)
        {
            if (!entry.name.empty() && entry.name.back() == '/' &&
                strcasecmp(ZipDirPart(entry.name).c_str(), wantedDir.c_str()) == 0)
                folders.insert(LowerCase(ZipFilePart(entry.name)));
        }
    }
    for (const ZipEntry& entry : entries)
    {
        std::string dirPart = ZipDirPart(entry.name);
        if (strcasecmp(dirPart.c_str(), wantedDir.c_str()) != 0)
        {
            if (!all || dirPart.size() <= wantedDir.size() ||
                strncasecmp(dirPart.c_str(), wantedDir.c_str(), wantedDir.size()) != 0)
                continue;
            std::string folder =
                dirPart.substr(wantedDir.size(), dirPart.find('/', wantedDir.size()) - wantedDir.size());
            if (!folder.empty() && folders.insert(LowerCase(folder + "/")).second)
                names.push_back(folder);
            continue;
        }
        std::string filePart = ZipFilePart(entry.name);
        if (all)
        {
            if (!filePart.empty() && filePart.back() == '/')
                filePart.pop_back();
            names.push_back(filePart);
        }
        else if (strcasecmp(ZipExtension(filePart).c_str(), wantedExt.c_str()) == 0)
            names.push_back(filePart);
    }
}
