// A preference domain's file as anyone may have left it, read through the typed getters the
// application uses: every getter answers for every key whatever its value's type or size.
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>

#include "platform/Foundation/Preferences.h"
#include "platform/Foundation/UserDefaults.h"

namespace {

// Keys whose absence the getters must answer too.
constexpr const char* kKnownKeys[] = {"KeepTrack", "AdvanceSeconds", "MetronomeVolume", "Shortcuts", ""};

void readAll(const NSUserDefaults& defaults, std::string_view key) {
    (void)defaults.objectForKey(key);
    (void)defaults.boolForKey(key);
    (void)defaults.integerForKey(key);
    (void)defaults.doubleForKey(key);
    (void)defaults.floatForKey(key);
    (void)defaults.stringForKey(key);
    (void)defaults.arrayForKey(key);
    (void)defaults.dictionaryForKey(key);
    (void)defaults.dataForKey(key);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    namespace fs = std::filesystem;
    // Removed again when the fuzzer exits.
    static const struct ScratchFolder {
        fs::path path = fs::temp_directory_path() / ("user-defaults-fuzz-" + std::to_string(::getpid()));
        ScratchFolder() { fs::create_directories(path); }
        ~ScratchFolder() {
            std::error_code ignored;
            fs::remove_all(path, ignored);
        }
    } scratch;
    const fs::path& folder = scratch.path;
    std::error_code ignored;
    for (const auto& entry : fs::directory_iterator(folder)) fs::remove(entry.path(), ignored);
    const std::string domain = "com.orvo.Beatwick";
    std::ofstream(folder / (domain + ".plist"), std::ios::binary)
        .write(reinterpret_cast<const char*>(data), std::streamsize(size));

    PreferencesStore store(folder.string());
    store.setReporter([](const std::string&) {});
    NSUserDefaults defaults(store, domain);
    for (const auto& [key, value] : defaults.dictionaryRepresentation()) readAll(defaults, key);
    for (const char* key : kKnownKeys) readAll(defaults, key);
    (void)CFPreferencesCopyAppValue("KeepTrack", domain);
    return 0;
}
