// Writes the game folder the end-to-end tests run the viewer on: <folder>/baseq3/pak0.pk3.
//   make_gamedata <folder>
#include "support/gamepak.h"
#include "support/testutil.h"

#include <cstdio>
#include <string>
#include <sys/stat.h>

int main(int argc, char** argv)
{
    if (argc != 2)
    {
        fprintf(stderr, "usage: make_gamedata <folder>\n");
        return 2;
    }
    const std::string base = std::string(argv[1]) + "/baseq3";
    mkdir(argv[1], 0755);
    mkdir(base.c_str(), 0755);
    if (!WriteFileBytes(base + "/pak0.pk3", BuildGamePak()))
    {
        fprintf(stderr, "make_gamedata: cannot write %s/pak0.pk3\n", base.c_str());
        return 1;
    }
    return 0;
}
