#include "platform/AudioToolbox/NSSound.h"

#include <array>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <mutex>
#include <sstream>
#include <vector>

#include "platform/AudioToolbox/AudioFile.h"
#include "platform/AudioToolbox/AudioQueue.h"

namespace {

constexpr std::array kThemeExtensions{".oga", ".ogg", ".wav", ".flac", ".aiff", ".aif"};

std::vector<std::filesystem::path> soundFolders() {
    std::vector<std::filesystem::path> folders;
    if (const char* home = std::getenv("XDG_DATA_HOME"); home && *home)
        folders.emplace_back(std::filesystem::path(home) / "sounds");
    else if (const char* user = std::getenv("HOME"); user && *user)
        folders.emplace_back(std::filesystem::path(user) / ".local/share/sounds");
    const char* dirs = std::getenv("XDG_DATA_DIRS");
    std::stringstream list(dirs && *dirs ? dirs : "/usr/local/share:/usr/share");
    for (std::string dir; std::getline(list, dir, ':');)
        if (!dir.empty()) folders.emplace_back(std::filesystem::path(dir) / "sounds");
    return folders;
}

std::string findThemeSound(const std::string& name) {
    if (name.empty() || name.find('/') != std::string::npos) return {};
    std::error_code ec;
    for (const auto& folder : soundFolders()) {
        std::filesystem::recursive_directory_iterator it(
            folder, std::filesystem::directory_options::skip_permission_denied, ec);
        for (; !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
            const auto& path = it->path();
            if (path.stem() != name || !it->is_regular_file(ec)) continue;
            for (const char* ext : kThemeExtensions)
                if (path.extension() == ext) return path.string();
        }
        ec.clear();
    }
    return {};
}

}  // namespace

NSSound::~NSSound() = default;

std::shared_ptr<NSSound> NSSound::createWithContentsOfFile(const std::string& path, bool) {
    std::unique_ptr<AudioFile> file;
    if (AudioFile::open(path, file) != noErr) return nullptr;
    AudioStreamDescription format;
    file->dataFormat(format);
    std::shared_ptr<NSSound> sound(new NSSound);
    sound->mName = path;
    sound->mDuration = file->duration();
    if (AudioQueue::newOutput(format, {}, sound->mQueue) != noErr) return nullptr;
    const SInt64 packets = file->packetCount();
    if (packets <= 0 || packets * format.mBytesPerPacket > UINT32_MAX) return nullptr;
    const UInt32 bytes = static_cast<UInt32>(packets * format.mBytesPerPacket);
    if (sound->mQueue->allocateBuffer(bytes, sound->mBuffer) != noErr) return nullptr;
    UInt32 count = static_cast<UInt32>(packets);
    file->readPackets(0, count, sound->mBuffer->mAudioDataByteSize, sound->mBuffer->mAudioData);
    return sound;
}

std::shared_ptr<NSSound> NSSound::soundNamed(const std::string& name) {
    static std::mutex lock;
    static std::map<std::string, std::weak_ptr<NSSound>> named;
    std::lock_guard guard(lock);
    if (auto found = named.find(name); found != named.end())
        if (auto kept = found->second.lock()) return kept;
    const std::string path = findThemeSound(name);
    std::shared_ptr<NSSound> sound = path.empty() ? nullptr : createWithContentsOfFile(path, true);
    if (sound) {
        sound->mName = name;
        named[name] = sound;
    }
    return sound;
}

bool NSSound::play() {
    if (mQueue->isRunning()) return false;
    mQueue->stop(true);
    if (mQueue->enqueueBuffer(mBuffer) != noErr) return false;
    mQueue->stop(false);
    return mQueue->start() == noErr;
}

bool NSSound::stop() {
    const bool was = mQueue->isRunning();
    mQueue->stop(true);
    return was;
}

bool NSSound::isPlaying() const {
    return mQueue->isRunning();
}
void NSSound::setVolume(float volume) {
    mQueue->setVolume(volume);
}
float NSSound::volume() const {
    return mQueue->volume();
}
double NSSound::duration() const {
    return mDuration;
}
