// A hash index of archive member names that ignores ASCII letter case, built once when an
// archive is opened, so finding a member costs the same however many members it has.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

class cNameIndex
{
  public:
    // Indexes count members; nameOf(i) answers member i's name as a string_view. A name that
    // an earlier member already carries (in any case) keeps pointing to the earlier member.
    template <class NameOf> void Build(int count, NameOf nameOf);
    // The first member whose name equals name ignoring ASCII case, or -1.
    template <class NameOf> int Find(std::string_view name, NameOf nameOf) const;
    void Clear();

    static uint32_t Hash(std::string_view name);
    static bool SameName(std::string_view a, std::string_view b);

  private:
    // Open addressing: slots hold a member number or -1, beside the hash of its name, so most
    // probes that do not match are told apart without comparing names.
    std::vector<int32_t> slots;
    std::vector<uint32_t> hashes;
    uint32_t mask = 0;
};

template <class NameOf> void cNameIndex::Build(int count, NameOf nameOf)
{
    Clear();
    if (count <= 0)
        return;
    // At most half full, so probe runs stay short.
    size_t size = 16;
    while (size < static_cast<size_t>(count) * 2)
        size *= 2;
    slots.assign(size, -1);
    hashes.assign(size, 0);
    mask = static_cast<uint32_t>(size - 1);
    for (int i = 0; i < count; i++)
    {
        std::string_view name = nameOf(i);
        uint32_t hash = Hash(name);
        uint32_t s = hash & mask;
        while (slots[s] >= 0 && !(hashes[s] == hash && SameName(nameOf(slots[s]), name)))
            s = (s + 1) & mask;
        if (slots[s] < 0)
        {
            slots[s] = i;
            hashes[s] = hash;
        }
    }
}

template <class NameOf> int cNameIndex::Find(std::string_view name, NameOf nameOf) const
{
    if (slots.empty())
        return -1;
    uint32_t hash = Hash(name);
    for (uint32_t s = hash & mask; slots[s] >= 0; s = (s + 1) & mask)
    {
        if (hashes[s] == hash && SameName(nameOf(slots[s]), name))
            return slots[s];
    }
    return -1;
}
