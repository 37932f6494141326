// Flags telling which system releases, from 10.0 to 10.10, the running system matches or passes.
//
// The platform layers offer the interfaces of all of those releases on any Linux system, so on
// Linux every flag is set; on a system the layers were not made for, none is. A flag read before
// DetermineOSParams has run determines them first. Every function may be called from any thread.
#pragma once

#include <sys/utsname.h>

// Sets the flags from the running system, as uname describes it.
void DetermineOSParams();
// Sets the flags from the given description of a system.
void DetermineOSParams(const utsname& system);

bool OSXORLATER();           // 10.0
bool PUMAORLATER();          // 10.1
bool JAGUARORLATER();        // 10.2
bool PANTHERORLATER();       // 10.3
bool TIGERORLATER();         // 10.4
bool LEOPARDORLATER();       // 10.5
bool SNOWLEOPARDORLATER();   // 10.6
bool LIONORLATER();          // 10.7
bool MOUNTAINLIONORLATER();  // 10.8
bool MAVERICKSORLATER();     // 10.9
bool YOSEMITEORLATER();      // 10.10
