// Hashing and comparing member names without regard to ASCII letter case.
#include "fs/nameindex.h"

namespace
{
inline unsigned char Lower(unsigned char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<unsigned char>(c + ('a' - 'A')) : c;
}
} // namespace

void cNameIndex::Clear()
{
    slots.clear();
    hashes.clear();
    mask = 0;
}

// FNV-1a over the lower-cased bytes.
uint32_t cNameIndex::Hash(std::string_view name)
{
    uint32_t hash = 2166136261u;
    for (char c : name)
        hash = (hash ^ Lower(static_cast<unsigned char>(c))) * 16777619u;
    return hash;
}

bool cNameIndex::SameName(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); i++)
    {
        if (Lower(static_cast<unsigned char>(a[i])) != Lower(static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
}
