// Beatwick's entry point. The application object and its controller come with the main window;
// until then the program says what it cannot do yet.
#include <cstdio>

int main() {
    std::fprintf(stderr,
                 "Beatwick: the main window, the player monitor and tempo assignment are not built yet.\n");
    return 0;
}
