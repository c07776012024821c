// Program entry.
#include <cstdio>

int main(int, char**)
{
    printf("viewer: not built yet\n");
    return 0;
}
