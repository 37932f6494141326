#include "sockets/Utility.h"

// A 32 x 32 metronome, drawn for this program.
const std::string Utility::Logo =
    "iVBORw0KGgoAAAANSUhEUgAAACAAAAAgCAYAAABzenr0AAAAhUlEQVR42u3XywnAIBAEUCvJOUXYP5aTDgw5BCTks7OuDsYd"
    "2GvmzUVICB6PMnFdcnlzAa7ld4gtxXzc/wBP5SWCsr4L4Kv8PCpg7vXNAGi5+eM0FMD8edauN0NQAbXl1QgqQFouAagQluUw"
    "wHo9jBgGgJSLAa3WixHIxzRHLaf9Q3jesgMQl3heSamIZwAAAABJRU5ErkJggg==";
