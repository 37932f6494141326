// "AssignedTrackIDs.plist" as a user, another program or a failing disk may leave it: loading
// never crashes, looks up and records on whatever entries it kept, and the list it keeps can
// always be saved again, so one odd entry cannot stop every later save.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "Source/AssignedTracks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    namespace fs = std::filesystem;
    // Removed again when the fuzzer exits.
    static const struct ScratchFolder {
        fs::path path = fs::temp_directory_path() / ("assigned-tracks-fuzz-" + std::to_string(::getpid()));
        ScratchFolder() { fs::create_directories(path); }
        ~ScratchFolder() {
            std::error_code ignored;
            fs::remove_all(path, ignored);
        }
    } scratch;
    const fs::path& folder = scratch.path;
    const fs::path file = folder / AssignedTracks::kFileName;
    std::error_code ignored;
    for (const auto& entry : fs::directory_iterator(folder)) fs::remove(entry.path(), ignored);
    std::ofstream(file, std::ios::binary).write(reinterpret_cast<const char*>(data), std::streamsize(size));

    AssignedTracks store(file.string(), [](const std::string&) {});
    store.load();
    for (const PropertyList& entry : store.entries()) {
        const PropertyList* id = entry.objectForKey(AssignedTracks::kTrackPersistentID);
        const PropertyList* bpm = entry.objectForKey(AssignedTracks::kBPM);
        const SInt64 someID = id && id->integer() ? *id->integer() : 1;
        const SInt32 someBPM = bpm && bpm->integer() ? static_cast<SInt32>(*bpm->integer()) : 120;
        (void)store.lookup(someID, someBPM);
    }
    store.record(42, 128);
    // The file was either read or set aside, so nothing stands in the way of saving.
    if (!store.save()) std::abort();
    return 0;
}
