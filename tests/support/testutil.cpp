// The real archive's folder: KEL_OA_BASE, else where the test script unpacks the archive.
#include "support/testutil.h"

std::string RealDataFolder()
{
    const char* env = getenv("KEL_OA_BASE");
    const std::string folder =
        env && *env ? env : KEL_SOURCE_DIR "/data/openarena/usr/share/games/openarena/baseoa";
    return std::filesystem::is_regular_file(folder + "/pak0.pk3") ? folder : "";
}
