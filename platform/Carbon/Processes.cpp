#include "platform/Carbon/Processes.h"

#include <unistd.h>

#include <cstdlib>

void ExitToShell() {
    _exit(EXIT_FAILURE);
}
