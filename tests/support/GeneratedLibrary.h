// A player's library file of any size, written straight to disk: every track with the keys the
// player writes (about 1.3 kB each), then the library playlist, a folder, a smart playlist and
// `plain` plain playlists, each holding every hundredth track. Their names are "Playlist 1" onwards.
#pragma once

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>

namespace generated_library {

inline std::string persistentID(uint64_t n) {
    char text[17];
    std::snprintf(text, sizeof text, "%016llX", static_cast<unsigned long long>(0x5EA7B1C000000000ULL + n));
    return text;
}

inline uint64_t playlistPersistentID(int64_t number) {
    return 0x5EA7B1C000000000ULL + 0x100000 + static_cast<uint64_t>(number);
}

// False when the file could not be written whole.
inline bool write(const std::string& path, int64_t tracks, int64_t plain) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<!DOCTYPE plist PUBLIC \"-//Apple Computer//DTD PLIST 1.0//EN\" "
           "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n<plist version=\"1.0\">\n<dict>\n"
           "\t<key>Major Version</key><integer>1</integer>\n\t<key>Minor Version</key><integer>1</integer>\n"
           "\t<key>Application "
           "Version</key><string>9.2.1</string>\n\t<key>Features</key><integer>5</integer>\n"
           "\t<key>Music Folder</key><string>file://localhost/home/listener/Music/iTunes/iTunes%20Music/"
           "</string>\n\t<key>Library Persistent ID</key><string>5EA7B1C0FFFFFFFF</string>\n"
           "\t<key>Tracks</key>\n\t<dict>\n";
    for (int64_t i = 0; i < tracks; ++i) {
        const std::string id = std::to_string(1000 + i);
        const std::string n = std::to_string(i);
        const std::string artist = "Artist Number " + std::to_string(i % 97);
        const std::string album = "Album Called Something " + std::to_string(i % 331);
        out << "\t\t<key>" << id << "</key>\n\t\t<dict>\n\t\t\t<key>Track ID</key><integer>" << id
            << "</integer>\n\t\t\t<key>Name</key><string>Track Named " << n
            << "</string>\n\t\t\t<key>Artist</key><string>" << artist
            << "</string>\n\t\t\t<key>Album</key><string>" << album
            << "</string>\n\t\t\t<key>Genre</key><string>Rock</string>\n"
               "\t\t\t<key>Kind</key><string>MPEG audio file</string>\n"
               "\t\t\t<key>Size</key><integer>5242880</integer>\n"
               "\t\t\t<key>Total Time</key><integer>"
            << 120000 + i % 180000 << "</integer>\n\t\t\t<key>Track Number</key><integer>" << 1 + i % 12
            << "</integer>\n\t\t\t<key>Year</key><integer>1999</integer>\n\t\t\t<key>BPM</key><integer>"
            << 60 + i % 120
            << "</integer>\n\t\t\t<key>Date Modified</key><date>2009-05-12T10:00:00Z</date>\n"
               "\t\t\t<key>Date Added</key><date>2009-05-12T10:00:00Z</date>\n"
               "\t\t\t<key>Bit Rate</key><integer>192</integer>\n"
               "\t\t\t<key>Sample Rate</key><integer>44100</integer>\n"
               "\t\t\t<key>Play Count</key><integer>3</integer>\n"
               "\t\t\t<key>Play Date UTC</key><date>2009-05-13T10:00:00Z</date>\n"
               "\t\t\t<key>Rating</key><integer>80</integer>\n"
               "\t\t\t<key>Sort Name</key><string>Track Named "
            << n << "</string>\n\t\t\t<key>Persistent ID</key><string>"
            << persistentID(static_cast<uint64_t>(i))
            << "</string>\n\t\t\t<key>Track Type</key><string>File</string>\n"
               "\t\t\t<key>Location</key><string>file://localhost/home/listener/Music/iTunes/iTunes%20Music/"
            << "Artist%20Number%20" << i % 97 << "/Album%20Called%20Something%20" << i % 331
            << "/Track%20Named%20" << n << ".mp3</string>\n\t\t</dict>\n";
    }
    out << "\t</dict>\n\t<key>Playlists</key>\n\t<array>\n";
    const auto items = [&](int64_t from, int64_t step) {
        out << "\t\t\t<key>Playlist Items</key>\n\t\t\t<array>\n";
        for (int64_t i = from; i < tracks; i += step)
            out << "\t\t\t\t<dict>\n\t\t\t\t\t<key>Track ID</key><integer>" << 1000 + i
                << "</integer>\n\t\t\t\t</dict>\n";
        out << "\t\t\t</array>\n";
    };
    const auto playlist = [&](const std::string& name, int64_t number, const char* more, int64_t step) {
        out << "\t\t<dict>\n\t\t\t<key>Name</key><string>" << name
            << "</string>\n\t\t\t<key>Playlist ID</key><integer>" << 50000 + number
            << "</integer>\n\t\t\t<key>Playlist Persistent ID</key><string>"
            << persistentID(static_cast<uint64_t>(0x100000 + number)) << "</string>\n"
            << more;
        items(number < 0 ? 0 : number % step, step);
        out << "\t\t</dict>\n";
    };
    playlist("Library", -1, "\t\t\t<key>Master</key><true/>\n\t\t\t<key>Visible</key><false/>\n", 1);
    playlist("Moods", -2, "\t\t\t<key>Folder</key><true/>\n", 5);
    playlist("Fast ones", -3, "\t\t\t<key>Smart Info</key><data>AQEAAwAAAAIAAAAZ</data>\n", 10);
    for (int64_t p = 1; p <= plain; ++p) playlist("Playlist " + std::to_string(p), p, "", 100);
    out << "\t</array>\n</dict>\n</plist>\n";
    out.close();
    return static_cast<bool>(out);
}

}  // namespace generated_library
