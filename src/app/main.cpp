#include <cstdio>

int main()
{
    std::fputs("Kestrelix: the application is not built yet\n", stderr);
    return 1;
}
